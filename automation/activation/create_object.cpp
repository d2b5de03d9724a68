#include "automation/activation/create_object.h"

#include "automation/activation/registration_record.h"
#include "automation/identity.h"
#include "platform/shared_library.h"

namespace velka {

namespace {

CreatedObject Failure(HResult status, std::string error) {
  CreatedObject created;
  created.status = status;
  created.error = std::move(error);
  return created;
}

}  // namespace

CreatedObject CreateObject(const std::string& prog_id, ControlSite* site) {
  std::string error;
  const auto registered = FindRegisteredClass(prog_id, error);
  if (!registered) return Failure(hresult::ClassNotRegistered, error);
  return CreateObjectFromLibrary(registered->library_path, registered->class_id, prog_id, site);
}

CreatedObject CreateObjectFromLibrary(const std::string& library_path, const Guid& class_id,
                                      const std::string& who, ControlSite* site) {
  std::string error;
  void* library = LoadSharedLibrary(library_path, error);
  if (!library) {
    return Failure(hresult::ModuleNotFound,
                   who + ": the library " + library_path + " cannot be loaded: " + error);
  }
  auto get_class_object = reinterpret_cast<GetClassObjectFunction>(
      FindLibrarySymbol(library, "DllGetClassObject", error));
  if (!get_class_object) {
    return Failure(hresult::ProcNotFound,
                   who + ": " + library_path + " has no DllGetClassObject: " + error);
  }

  void* factory_pointer = nullptr;
  HResult status =
      get_class_object(&class_id, &identity::kClassFactoryInterfaceId, &factory_pointer);
  if (Failed(status) || !factory_pointer) {
    return Failure(Failed(status) ? status : hresult::Unexpected,
                   who + ": " + library_path + " has no class " + GuidToText(class_id) + " (" +
                       HResultName(status) + ")");
  }
  auto factory = Ref<ClassFactory>::Adopt(static_cast<ClassFactory*>(factory_pointer));

  Dispatch* object = nullptr;
  status = factory->CreateInstance(site, &object);
  if (Failed(status) || !object) {
    return Failure(
        Failed(status) ? status : hresult::Unexpected,
        who + ": the class factory could not create an instance (" + HResultName(status) + ")");
  }
  CreatedObject created;
  created.object = DispatchRef::Adopt(object);
  return created;
}

}  // namespace velka
