#include "disk/mbr_boot_code.h"

#include <cstring>

namespace kv::disk {

namespace {

// The loader's x86 real-mode code. It runs at 0000:7C00, copies itself to
// 0000:0600 and continues there, so the messages are addressed at 0x0600 + offset.
constexpr std::uint16_t kRelocatedBase = 0x0600;

// clang-format off
constexpr std::uint8_t kCode[] = {
    0xFA,                          // 00 cli
    0x33, 0xC0,                    // 01 xor ax,ax
    0x8E, 0xD0,                    // 03 mov ss,ax
    0xBC, 0x00, 0x7C,              // 05 mov sp,0x7c00
    0x8E, 0xC0,                    // 08 mov es,ax
    0x8E, 0xD8,                    // 0a mov ds,ax
    0xBE, 0x00, 0x7C,              // 0c mov si,0x7c00
    0xBF, 0x00, 0x06,              // 0f mov di,0x0600
    0xB9, 0x00, 0x01,              // 12 mov cx,0x0100
    0xFC,                          // 15 cld
    0xF3, 0xA5,                    // 16 rep movsw
    0xEA, 0x1D, 0x06, 0x00, 0x00,  // 18 jmp 0000:061d
    0xFB,                          // 1d sti
    0xBE, 0xBE, 0x07,              // 1e mov si,0x07be (partition table)
    0xB3, 0x04,                    // 21 mov bl,4
    0x80, 0x3C, 0x80,              // 23 cmp byte [si],0x80
    0x74, 0x0E,                    // 26 je 36 (active entry found)
    0x80, 0x3C, 0x00,              // 28 cmp byte [si],0
    0x75, 0x38,                    // 2b jne 65 (invalid table)
    0x83, 0xC6, 0x10,              // 2d add si,16
    0xFE, 0xCB,                    // 30 dec bl
    0x75, 0xEF,                    // 32 jnz 23
    0xCD, 0x18,                    // 34 int 0x18 (nothing to boot)
    0x8B, 0xEE,                    // 36 mov bp,si
    0x83, 0xC6, 0x10,              // 38 add si,16
    0xFE, 0xCB,                    // 3b dec bl
    0x74, 0x07,                    // 3d jz 46
    0x80, 0x3C, 0x00,              // 3f cmp byte [si],0
    0x74, 0xF4,                    // 42 je 38
    0xEB, 0x1F,                    // 44 jmp 65 (a second active entry)
    0x8B, 0x56, 0x00,              // 46 mov dx,[bp+0] (drive 0x80, head)
    0x8B, 0x4E, 0x02,              // 49 mov cx,[bp+2] (cylinder, sector)
    0xBB, 0x00, 0x7C,              // 4c mov bx,0x7c00
    0xB8, 0x01, 0x02,              // 4f mov ax,0x0201 (read one sector)
    0xCD, 0x13,                    // 52 int 0x13
    0x72, 0x14,                    // 54 jc 6a (load error)
    0x81, 0x3E, 0xFE, 0x7D, 0x55, 0xAA,  // 56 cmp word [0x7dfe],0xaa55
    0x75, 0x11,                    // 5c jne 6f (no system)
    0x8B, 0xF5,                    // 5e mov si,bp
    0xEA, 0x00, 0x7C, 0x00, 0x00,  // 60 jmp 0000:7c00
    0xBE, 0x00, 0x00,              // 65 mov si,invalid message
    0xEB, 0x08,                    // 68 jmp 72
    0xBE, 0x00, 0x00,              // 6a mov si,loading message
    0xEB, 0x03,                    // 6d jmp 72
    0xBE, 0x00, 0x00,              // 6f mov si,missing message
    0xAC,                          // 72 lodsb
    0x84, 0xC0,                    // 73 test al,al
    0x74, 0x09,                    // 75 jz 80
    0xBB, 0x07, 0x00,              // 77 mov bx,7
    0xB4, 0x0E,                    // 7a mov ah,0x0e
    0xCD, 0x10,                    // 7c int 0x10
    0xEB, 0xF2,                    // 7e jmp 72
    0xF4,                          // 80 hlt
    0xEB, 0xFD,                    // 81 jmp 80
};
// clang-format on

// Where the three message addresses go in the code.
constexpr std::size_t kMessageOperands[] = {0x66, 0x6B, 0x70};
constexpr const char* kMessages[] = {"Invalid partition table", "Error loading operating system",
                                     "Missing operating system"};

}  // namespace

std::array<std::uint8_t, 512> MbrTemplate() {
    std::array<std::uint8_t, 512> mbr{};
    std::memcpy(mbr.data(), kCode, sizeof kCode);
    std::size_t at = sizeof kCode;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::uint16_t address = static_cast<std::uint16_t>(kRelocatedBase + at);
        mbr[kMessageOperands[i]] = static_cast<std::uint8_t>(address);
        mbr[kMessageOperands[i] + 1] = static_cast<std::uint8_t>(address >> 8);
        const std::size_t length = std::strlen(kMessages[i]);
        std::memcpy(mbr.data() + at, kMessages[i], length);
        at += length + 1;  // the terminating zero is already there
    }
    for (std::size_t b = 0; b < 4; ++b) {
        mbr[kMbrSignatureOffset + b] = static_cast<std::uint8_t>(kMbrDiskSignature >> (8 * b));
    }
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    return mbr;
}

}  // namespace kv::disk
