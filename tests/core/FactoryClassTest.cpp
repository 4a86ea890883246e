// The factory inside the library: each code is served by the class its row names (a row that
// names the wrong class with the same type and text would pass through the plug-in).
#include <cxxabi.h>
#include <stdlib.h>

#include <string>
#include <typeinfo>

#include "FactoryCases.h"
#include "ISMBase.h"
#include "SMManager.h"
#include "factory/SMFactory.h"
#include "gtest/gtest.h"

namespace {

std::string ClassName(ISMBase* handler)
{
    const char* mangled = typeid(*handler).name();
    int status = 0;
    char* plain = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && plain ? plain : mangled;
    free(plain);
    return name;
}

TEST(FactoryClass, EachCodeIsServedByItsClass)
{
    for (const factory_cases::ClassCase& c : factory_cases::kClasses) {
        SCOPED_TRACE(c.code);
        CSMManager::FreeInstance();
        CSMManager* manager = CSMManager::GetInstance();
        ASSERT_NE(manager, nullptr);
        ISMBase* handler = manager->GetSM(c.code);
        ASSERT_NE(handler, nullptr);
        EXPECT_EQ(ClassName(handler), c.cls);
    }
    CSMManager::FreeInstance();
}

}  // namespace
