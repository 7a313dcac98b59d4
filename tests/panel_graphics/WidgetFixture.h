// Every drawing test starts from an empty registry and releases what it made.
#pragma once

#include "Widgets.h"

#include <gtest/gtest.h>

#include <string>

class WidgetTest : public ::testing::Test {
protected:
    void SetUp() override { ResetWidgets(); }
    void TearDown() override { ReleaseWidgets(); }
};

// The whole registry as bytes, to see that a call left every widget record as it was.
inline std::string RegistryBytes()
{
    std::string bytes;
    bytes.append(reinterpret_cast<const char*>(GraphPanels), sizeof GraphPanels);
    bytes.append(reinterpret_cast<const char*>(TextPanels), sizeof TextPanels);
    bytes.append(reinterpret_cast<const char*>(LevelBars), sizeof LevelBars);
    return bytes;
}
