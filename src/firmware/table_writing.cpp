#include "firmware/table_writing.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "device/debug_log.h"
#include "device/vendor_access.h"
#include "device/vendor_commands.h"
#include "firmware/debug_dump.h"
#include "firmware/dump_names.h"
#include "firmware/info_page.h"
#include "firmware/system_firmware_file.h"
#include "firmware/table_writing_plan.h"
#include "flash/flash_scan_stores.h"

namespace kv {
namespace {

constexpr std::uint8_t kCodeBank = 0;

std::size_t PageBytesOf(const FlashConfig& flash) {
    return static_cast<std::size_t>(flash.SectorsPerPage) * 512;
}

// The pages of the firmware files in the order the plan asks for them: each
// file is read once, page after page; a copy asks again for the page just
// made.
class FirmwarePages {
  public:
    FirmwarePages(int port, const ProcedureContext& ctx, const SystemAreaInput& input)
        : port_(port), ctx_(ctx), input_(input), page_(PageBytesOf(ctx.flash), 0) {}

    // The page `filePage` of file `file`, patched; nullptr when the file
    // cannot be read.
    const std::vector<std::uint8_t>* Get(int file, int filePage) {
        if (file == file_ && filePage == filePage_) {
            return &page_;
        }
        if (file != file_) {
            if (!Open(file)) {
                return nullptr;
            }
        }
        while (filePage_ < filePage) {
            ReadNext();
        }
        return &page_;
    }

  private:
    bool Open(int file) {
        in_.reset();
        file_ = -1;
        if (file < 0 || static_cast<std::size_t>(file) >= input_.Files.size()) {
            return false;
        }
        const std::string& path = input_.Files[static_cast<std::size_t>(file)].Path;
        in_ = std::make_unique<std::ifstream>(path, std::ios::binary);
        if (!*in_) {
            std::printf(kOpenBinFileFailFormat, path.c_str());
            std::printf("\n");
            in_.reset();
            return false;
        }
        file_ = file;
        filePage_ = -1;
        return true;
    }

    void ReadNext() {
        ++filePage_;
        std::fill(page_.begin(), page_.end(), std::uint8_t{0});
        in_->read(reinterpret_cast<char*>(page_.data()),
                  static_cast<std::streamsize>(page_.size()));
        const std::size_t got = in_->gcount() > 0 ? static_cast<std::size_t>(in_->gcount()) : 0;
        PadFirmwarePage(page_, got);
        if (IsSystemHeaderPage(page_)) {
            const ImageContext imageCtx{ctx_.flash, ctx_.settings, ctx_.process};
            PatchSystemHeaderPage(imageCtx, FlashStoresOf(port_).Image,
                                  input_.Layout->FirstFirmwarePage, page_, input_.SerialNumber,
                                  input_.WwnText);
            WriteDebugDump(kDumpSystemHeader, page_.data(), page_.size());
        }
        const int lastFile = input_.Layout->FileCount - 1;
        if (file_ == lastFile && filePage_ == input_.Layout->Files[lastFile].PageCount - 1) {
            PutFirmwareTrailer(page_);
        }
    }

    int port_;
    const ProcedureContext& ctx_;
    const SystemAreaInput& input_;
    std::vector<std::uint8_t> page_;
    std::unique_ptr<std::ifstream> in_;
    int file_ = -1;
    int filePage_ = -1;
};

void Replicate(std::span<std::uint8_t> pageSet, const std::vector<std::uint8_t>& page,
               int channels) {
    for (int c = 0; c < channels; ++c) {
        std::copy(page.begin(), page.end(),
                  pageSet.begin() + static_cast<std::ptrdiff_t>(c * page.size()));
    }
}

void DumpNumbered(const char* format, int a, std::span<const std::uint8_t> data) {
    char name[40];
    std::snprintf(name, sizeof name, format, a);
    WriteDebugDump(name, data.data(), data.size());
}

}  // namespace

VaFlashGeometry VaGeometryOf(const FlashConfig& flash) {
    VaFlashGeometry g;
    g.Channels = flash.Channels;
    g.SectorsPerPage = flash.SectorsPerPage;
    g.AccessMode = flash.EccMode;
    std::memcpy(g.LoaderSignature, flash.BlocksSignature,
                std::min(sizeof g.LoaderSignature, sizeof flash.BlocksSignature));
    return g;
}

std::size_t PageSetBytes(const FlashConfig& flash) {
    return PageBytesOf(flash) * flash.Channels;
}

std::uint8_t TableFlagsByte(const FlashConfig& flash) {
    return static_cast<std::uint8_t>((flash.OptionFlags[kOptionSelected] * 2) |
                                     flash.OptionFlags[kOptionScramble]);
}

PageWriteParams InfoPageParams(const FlashConfig& flash) {
    return {3, 1, static_cast<std::uint8_t>(flash.EccMode == 3 ? flash.SectorsPerPage : 4)};
}

PageWriteParams TablePageParams(const FlashConfig& flash) {
    return {flash.EccMode, TableFlagsByte(flash), flash.SectorsPerPage};
}

PageWriteParams FirmwarePageParams(const FlashConfig& flash) {
    return {flash.EccMode, 1, flash.SectorsPerPage};
}

bool WritePageAllBlocks(int port, const ProcedureContext& ctx, std::uint16_t page,
                        const PageWriteParams& params, std::span<std::uint8_t> pageSet,
                        std::uint32_t sectors) {
    const CodeBlockList& list = FlashStoresOf(port).Image.CodeBlocks;
    const int count = std::min<int>(list.Count, kMaxCodeBlocks);
    if (count == 0 || pageSet.empty()) {
        return false;
    }
    SetVaFlashGeometry(port, VaGeometryOf(ctx.flash));
    for (int i = 0; i < count; ++i) {
        if (page == 0) {
            SetInfoPageBlockNumber(pageSet, list.Blocks[i]);
        }
        FlashAddress address;
        address.Channel = ctx.flash.Channels;
        address.Bank = kCodeBank;
        address.Block = list.Blocks[i];
        address.Page = page;
        address.Options[0] = params.EccMode;
        address.Options[1] = params.Flags;
        address.Options[2] = params.EccFrame;
        if (!VA_WritePages(port, address, pageSet, sectors)) {
            return false;
        }
    }
    return true;
}

bool ReadPageOfBlock(int port, const ProcedureContext& ctx, std::span<std::uint8_t> pageSet,
                     int blockIndex, std::uint16_t page) {
    const CodeBlockList& list = FlashStoresOf(port).Image.CodeBlocks;
    if (blockIndex < 0 || blockIndex >= std::min<int>(list.Count, kMaxCodeBlocks)) {
        return false;
    }
    SetVaFlashGeometry(port, VaGeometryOf(ctx.flash));
    FlashAddress address;
    address.Channel = ctx.flash.Channels;
    address.Bank = kCodeBank;
    address.Block = list.Blocks[blockIndex];
    address.Page = page;
    address.Options[0] = ctx.flash.EccMode;
    address.Options[1] = TableFlagsByte(ctx.flash);
    address.Options[2] = ctx.flash.SectorsPerPage;
    if (!VA_ReadPages(port, address, pageSet, false)) {
        return false;
    }
    std::uint8_t status = 0xFF;
    return VC_ST_GetReturn(port, status) == kCommandOk && status == 0;
}

bool LayoutOfFiles(const ProcedureContext& ctx, std::span<const FirmwareFileEntry> files,
                   FirmwarePageLayout& layout, std::string* error) {
    std::vector<std::uint32_t> sizes;
    for (const FirmwareFileEntry& f : files) {
        sizes.push_back(f.SizeKiB);
    }
    return LayoutFirmwarePages(ctx.flash, ctx.settings, sizes, layout, error);
}

bool WriteTables(int port, const ProcedureContext& ctx, const SystemAreaInput& input) {
    const FlashConfig& flash = ctx.flash;
    const std::size_t setBytes = PageSetBytes(flash);
    if (input.Layout == nullptr || setBytes == 0 ||
        input.Layout->FileCount > static_cast<int>(input.Files.size())) {
        return false;
    }
    const FirmwarePageLayout& layout = *input.Layout;
    const std::uint32_t sectors = static_cast<std::uint32_t>(setBytes / 512);
    const std::size_t collected = input.Collection.size() / setBytes;
    std::vector<std::uint8_t> pageSet(setBytes, 0);
    FirmwarePages firmware(port, ctx, input);
    const ImageContext imageCtx{flash, ctx.settings, ctx.process};

    for (const PlannedPageWrite& w : PlanSystemAreaWrites(flash, ctx.settings, layout)) {
        PageWriteParams params;
        switch (w.Kind) {
            case SystemPageKind::Info:
                if (!BuildInfoPage(imageCtx, FlashStoresOf(port).Image.CodeBlocks, layout,
                                   input.Generation, pageSet)) {
                    return false;
                }
                params = InfoPageParams(flash);
                break;
            case SystemPageKind::Table: {
                if (w.Source < 0 || static_cast<std::size_t>(w.Source) >= collected) {
                    return false;
                }
                const auto from = input.Collection.subspan(
                    static_cast<std::size_t>(w.Source) * setBytes, setBytes);
                std::copy(from.begin(), from.end(), pageSet.begin());
                if (!w.Dummy) {
                    DumpNumbered(kDumpWrittenTableFormat, w.Page, pageSet);
                } else if (layout.LowPage) {
                    OutputDbgMsg(kTableDummyPageFormat, static_cast<unsigned>(w.Page));
                }
                params = TablePageParams(flash);
                break;
            }
            case SystemPageKind::Firmware: {
                const std::vector<std::uint8_t>* page = firmware.Get(w.Source, w.FilePage);
                if (page == nullptr) {
                    return false;
                }
                Replicate(pageSet, *page, flash.Channels);
                if (w.Dummy && layout.LowPage) {
                    OutputDbgMsg(kFirmwareDummyPageFormat, static_cast<unsigned>(w.Page));
                }
                params = FirmwarePageParams(flash);
                break;
            }
        }
        if (!WritePageAllBlocks(port, ctx, w.Page, params, pageSet, sectors)) {
            return false;
        }
    }
    return true;
}

bool ReadBackFirmwarePages(int port, const ProcedureContext& ctx,
                           const FirmwarePageLayout& layout) {
    const FlashConfig& flash = ctx.flash;
    const std::size_t pageBytes = PageBytesOf(flash);
    const CodeBlockList& list = FlashStoresOf(port).Image.CodeBlocks;
    std::vector<std::uint8_t> pageSet(PageSetBytes(flash), 0);
    const int blocks = std::min<int>(list.Count, kMaxCodeBlocks);
    for (int j = 0; j < blocks; ++j) {
        for (int k = 0; k < std::min(layout.FileCount, kMaxFirmwareFiles); ++k) {
            std::vector<std::unique_ptr<std::ofstream>> out;
            for (int c = 0; c < flash.Channels; ++c) {
                char name[40];
                std::snprintf(name, sizeof name, kDumpUploadFormat, static_cast<unsigned>(k),
                              static_cast<unsigned>(list.Blocks[j]), static_cast<unsigned>(c));
                out.push_back(std::make_unique<std::ofstream>(name, std::ios::binary));
                if (!*out.back()) {
                    return false;
                }
            }
            const FirmwareFilePages& file = layout.Files[k];
            for (int n = 0; n < file.PageCount; ++n) {
                const int index = file.StartPage + n;
                if (index >= kSystemPageListLength ||
                    !ReadPageOfBlock(port, ctx, pageSet, j, layout.SystemPageList[index])) {
                    return false;
                }
                for (int c = 0; c < flash.Channels; ++c) {
                    out[static_cast<std::size_t>(c)]->write(
                        reinterpret_cast<const char*>(pageSet.data() + c * pageBytes),
                        static_cast<std::streamsize>(pageBytes));
                }
            }
        }
    }
    return true;
}

}  // namespace kv
