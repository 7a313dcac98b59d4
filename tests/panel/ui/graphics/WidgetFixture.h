// Every drawing test starts from an empty widget set of its own and releases what it made.
#pragma once

#include "Widgets.h"

#include <gtest/gtest.h>

#include <string>

class WidgetTest : public ::testing::Test {
protected:
    void TearDown() override { ReleaseWidgets(widgets); }

    // The whole set as bytes, to see that a call left every widget record as it was.
    std::string SetBytes() const
    {
        return std::string(reinterpret_cast<const char*>(&widgets), sizeof widgets);
    }

    WidgetSet widgets{};
};
