// Version text of the virtual fixture, reported by the station's tools.
namespace kv::emu {
extern const char kEmulatorVersion[] = "1.0";
}
