// The module as the host sees it: the built vardelk.auf, loaded afresh for
// every test so that no state carries over.
#pragma once

#include "tests/module/module_fixture.h"

namespace vardelk {

class DllTest : public ModuleFixture {
protected:
    bool Start(HostSession& session, std::string* error) override {
        return session.LoadModule(VARDELK_MODULE_PATH, error);
    }
};

}  // namespace vardelk
