// Every drawing test starts from an empty registry and releases what it made.
#pragma once

#include "Widgets.h"

#include <gtest/gtest.h>

class WidgetTest : public ::testing::Test {
protected:
    void SetUp() override { ResetWidgets(); }
    void TearDown() override { ReleaseWidgets(); }
};
