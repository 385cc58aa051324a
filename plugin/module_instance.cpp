#include "plugin/module_instance.h"

#include "plugin/filter_descriptor.h"

namespace vardelk {

ModuleInstance::ModuleInstance() : descriptor(MakeFilterDescriptor(matrix.Entries())) {}

namespace {

// The module's one instance, made while the host loads the module (before
// it can call anything) and reached only through TheModule().
ModuleInstance theModuleInstance;

}  // namespace

ModuleInstance& TheModule() { return theModuleInstance; }

}  // namespace vardelk
