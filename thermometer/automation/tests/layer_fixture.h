// Common set-up of the layer tests: the test component registered and
// created, UTF-16 string mode, error boxes caught instead of shown.
#pragma once

#include "automation.h"
#include "test_object.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

std::string U8(const char16_t* text);
std::string U8(const std::u16string& text);

// Boxes shown since the last ClearBoxes, from any thread, as UTF-8.
std::vector<std::string> Boxes();
void ClearBoxes();
void RecordBox(void* owner, const char16_t* caption, const char16_t* text);

class LayerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The only argument of the last recorded call.
    VARIANT LastArgument();
    RecordedCall LastCall();
    std::size_t CallCount() { return TestLog().Calls().size(); }

    IDispatch* object_ = nullptr;
};
