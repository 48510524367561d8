// The library's four in-process server entry points and its class factory.

#include "syslog/com/com.h"
#include "syslog/com/error_info.h"
#include "syslog/com/module.h"
#include "syslog/com/registry.h"
#include "syslog/isyslog.h"
#include "syslog/os/library.h"
#include "syslog/syslog_control.h"

namespace ostrel {
namespace {

class SysLogFactory final : public IClassFactory {
 public:
  Status QueryInterface(const Guid& iid, void** object) override {
    if (!object) return kPointer;
    if (iid == kIidIUnknown || iid == kIidIClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return kOk;
    }
    *object = nullptr;
    return kNoInterface;
  }
  // The factory is static; its references keep the library in use.
  uint32_t AddRef() override {
    LockModule();
    return 2;
  }
  uint32_t Release() override {
    UnlockModule();
    return 1;
  }
  Status CreateInstance(IUnknown* outer, const Guid& iid, void** object) override {
    if (!object) return kPointer;
    *object = nullptr;
    if (outer) return kNoAggregation;
    SysLog* control = SysLog::Create();
    const Status status = control->QueryInterface(iid, object);
    control->Release();
    return status;
  }
  Status LockServer(bool lock) override {
    if (lock)
      LockModule();
    else
      UnlockModule();
    return kOk;
  }
};

SysLogFactory factory;

std::filesystem::path RegistryFile() {
  return os::OwnLibraryPath().parent_path() / kRegistryFileName;
}

std::string ClsidKey() { return "HKCR\\CLSID\\" + GuidToString(kClsidSysLog); }

}  // namespace
}  // namespace ostrel

using namespace ostrel;

extern "C" OSTREL_EXPORT Status DllCanUnloadNow() { return ModuleInUse() ? kFalse : kOk; }

extern "C" OSTREL_EXPORT Status DllGetClassObject(const Guid& clsid, const Guid& iid,
                                                  void** object) {
  if (!object) return kPointer;
  *object = nullptr;
  if (!(clsid == kClsidSysLog)) return kClassNotAvailable;
  return factory.QueryInterface(iid, object);
}

extern "C" OSTREL_EXPORT Status DllRegisterServer() {
  const std::string library = os::OwnLibraryPath().string();
  if (library.empty()) return kFail;
  const std::string clsid = GuidToString(kClsidSysLog);
  const std::string key = ClsidKey();
  const std::string v1 = kProgIdVersion1;
  const std::string independent = kProgIdVersionIndependent;
  const std::string legacy = kProgIdLegacy;
  const RegistryEntries keys = {
      {"HKCR\\" + independent + "\\CLSID", clsid},
      {"HKCR\\" + independent + "\\CurVer", v1},
      {"HKCR\\" + v1 + "\\CLSID", clsid},
      {"HKCR\\" + legacy + "\\CLSID", clsid},
      {key + "\\ProgID", v1},
      {key + "\\VersionIndependentProgID", independent},
      {key + "\\InprocServer32", library},
      {key + "\\InprocServer32\\ThreadingModel", "Apartment"},
      {key + "\\Control", ""},
      {key + "\\Insertable", ""},
      {key + "\\Programmable", ""},
      {key + "\\ToolboxBitmap32", library + ", 101"},
      {key + "\\MiscStatus\\1", "132497"},
      {key + "\\TypeLib", GuidToString(kLibidSysLogLib)},
      {key + "\\Version", "1.0"},
      {"HKCR\\TypeLib\\" + GuidToString(kLibidSysLogLib) + "\\1.0", "SYSLOGLib"},
  };
  return WriteRegistryKeys(RegistryFile(), keys) ? kOk : kRegistryWrite;
}

extern "C" OSTREL_EXPORT Status DllUnregisterServer() {
  const std::vector<std::string> prefixes = {
      std::string("HKCR\\") + kProgIdVersionIndependent + "\\",
      std::string("HKCR\\") + kProgIdVersion1 + "\\",
      std::string("HKCR\\") + kProgIdLegacy + "\\",
      ClsidKey() + "\\",
      "HKCR\\TypeLib\\" + GuidToString(kLibidSysLogLib) + "\\",
  };
  return RemoveRegistryKeys(RegistryFile(), prefixes) ? kOk : kRegistryWrite;
}

extern "C" OSTREL_EXPORT Status GetErrorInfo(ErrorInfo* info) { return TakeThreadErrorInfo(info); }
