#include "syslog/com/client.h"

#include "syslog/com/registry.h"
#include "syslog/os/library.h"

namespace ostrel {

Status CreateObject(const std::filesystem::path& registry_file, const std::string& prog_id,
                    const Guid& iid, void** object, std::string* error) {
  if (!object) return kPointer;
  *object = nullptr;
  const auto registration = LookUpProgId(registry_file, prog_id);
  if (!registration) {
    if (error) *error = prog_id + " is not registered in " + registry_file.string();
    return kClassNotRegistered;
  }
  using GetClassObject = Status (*)(const Guid&, const Guid&, void**);
  auto get_class_object = reinterpret_cast<GetClassObject>(
      os::LoadLibrarySymbol(registration->library, "DllGetClassObject", error));
  if (!get_class_object) return kClassNotRegistered;
  ComPtr<IClassFactory> factory;
  if (Status status =
          get_class_object(registration->clsid, kIidIClassFactory, factory.ReceiveVoid());
      Failed(status)) {
    return status;
  }
  return factory->CreateInstance(nullptr, iid, object);
}

Status LastErrorInfo(const std::filesystem::path& library, ErrorInfo* info) {
  using GetErrorInfoFunction = Status (*)(ErrorInfo*);
  auto get = reinterpret_cast<GetErrorInfoFunction>(
      os::LoadLibrarySymbol(library, "GetErrorInfo", nullptr));
  if (!get) return kFail;
  return get(info);
}

}  // namespace ostrel
