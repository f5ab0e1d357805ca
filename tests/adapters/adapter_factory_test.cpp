#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapters/adapter_factory.h"
#include "adapters/zlg_adapter.h"
#include "test_files.h"

namespace {

class AdapterFactoryTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveTransmitLists(); }
    void TearDown() override { RemoveTransmitLists(); }
};

TEST_F(AdapterFactoryTest, RegistersOnlyTheZlgKind) {
    CAdapterFactory factory;
    EXPECT_EQ(factory.Count(), 1);
    ASSERT_NE(factory.GetAdapterClass(0), nullptr);
    EXPECT_EQ(factory.GetAdapterClass(0)->GetName(), "Zlg");
    EXPECT_EQ(factory.GetAdapterClass(1), nullptr);
    EXPECT_EQ(factory.GetAdapterClass(-1), nullptr);
}

TEST_F(AdapterFactoryTest, NamesOutOfRangeAreUnknown) {
    CAdapterFactory factory;
    EXPECT_EQ(factory.GetAdapterName(0), "Zlg");
    EXPECT_EQ(factory.GetAdapterName(1), "unknown");
    EXPECT_EQ(factory.GetAdapterName(-1), "unknown");
}

TEST_F(AdapterFactoryTest, GetNamesAppendsInRegistrationOrder) {
    CAdapterFactory factory;
    std::vector<std::string> names{"first"};
    factory.GetNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"first", "Zlg"}));
}

TEST_F(AdapterFactoryTest, CreatesOneInstancePerKindOnFirstRequest) {
    CAdapterFactory factory;
    EXPECT_EQ(factory.GetAdapter(1), nullptr);
    EXPECT_EQ(factory.GetAdapter(-1), nullptr);
    CAdapterCustom* first = factory.GetAdapter(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(factory.GetAdapter(0), first);
    EXPECT_NE(dynamic_cast<CAdapterZlg*>(first), nullptr);
    EXPECT_EQ(first->GetName(), "Zlg");
    EXPECT_EQ(first->GetChannelCount(), 2);
    EXPECT_TRUE(first->IsMultiChannel());
}

TEST_F(AdapterFactoryTest, NamingAKindCreatesNoInstanceAndNoTransmitListFile) {
    {
        CAdapterFactory factory;
        EXPECT_EQ(factory.GetAdapterName(0), "Zlg");
    }
    // An adapter instance would have saved its channels' lists on its way out.
    EXPECT_FALSE(std::filesystem::exists(TransmitListPath(0)));
}

TEST_F(AdapterFactoryTest, FreeingTheFactorySavesTheChannelsLists) {
    {
        CAdapterFactory factory;
        ASSERT_NE(factory.GetAdapter(0), nullptr);
    }
    EXPECT_TRUE(std::filesystem::exists(TransmitListPath(0)));
    EXPECT_TRUE(std::filesystem::exists(TransmitListPath(1)));
}

} // namespace
