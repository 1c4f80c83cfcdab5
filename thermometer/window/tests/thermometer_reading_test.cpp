// Decoding, range check, display text, whole degrees and the spoken text.
#include "reading_history.h"
#include "thermometer_reading.h"

#include <gtest/gtest.h>

#include <array>

namespace {

float Decode(std::uint8_t low, std::uint8_t high)
{
    std::array<std::uint8_t, 3> report{0x00, low, high};
    return TemperatureFromRaw(ReportRawValue(report.data()));
}

TEST(ThermometerReading, ReportBytesAreSignedLittleEndianSixteenths)
{
    std::array<std::uint8_t, 3> report{0x00, 0x70, 0x01};
    EXPECT_EQ(ReportRawValue(report.data()), 368);
    EXPECT_FLOAT_EQ(Decode(0x70, 0x01), 23.0f);
    EXPECT_FLOAT_EQ(Decode(0xFF, 0xFF), -0.0625f);
    EXPECT_FLOAT_EQ(Decode(0xA0, 0xFC), -54.0f);
    EXPECT_FLOAT_EQ(Decode(0x00, 0x80), -2048.0f);
    EXPECT_FLOAT_EQ(Decode(0xFF, 0x7F), 2047.9375f);
}

TEST(ThermometerReading, OnlyReadingsStrictlyInsideTheWindowAreAccepted)
{
    EXPECT_TRUE(TemperatureAccepted(TemperatureFromRaw(-864)));
    EXPECT_TRUE(TemperatureAccepted(TemperatureFromRaw(-927)));
    EXPECT_FALSE(TemperatureAccepted(TemperatureFromRaw(-928)));
    EXPECT_TRUE(TemperatureAccepted(TemperatureFromRaw(2399)));
    EXPECT_FALSE(TemperatureAccepted(TemperatureFromRaw(2400)));
    EXPECT_FALSE(TemperatureAccepted(TemperatureFromRaw(-32768)));
    EXPECT_FALSE(TemperatureAccepted(TemperatureFromRaw(32767)));
}

TEST(ThermometerReading, DisplayHasOneDecimalAndTheUnit)
{
    EXPECT_EQ(FormatTemperature(23.0f), "23.0 °C");
    EXPECT_EQ(FormatTemperature(-0.0625f), "-0.1 °C");
    EXPECT_EQ(FormatTemperature(-54.0f), "-54.0 °C");
    EXPECT_EQ(FormatTemperature(149.9375f), "149.9 °C");
    EXPECT_EQ(FormatTemperature(23.5f), "23.5 °C");
    // Exact ties at one decimal go to the even digit, as printf does.
    EXPECT_EQ(FormatTemperature(0.25f), "0.2 °C");
    EXPECT_EQ(FormatTemperature(0.75f), "0.8 °C");
    EXPECT_EQ(FormatTemperature(-57.9375f), "-57.9 °C");
}

TEST(ThermometerReading, WholeDegreesRoundHalvesToEven)
{
    EXPECT_EQ(WholeDegrees(23.0f), 23);
    EXPECT_EQ(WholeDegrees(-0.0625f), 0);
    EXPECT_EQ(WholeDegrees(24.5f), 24);
    EXPECT_EQ(WholeDegrees(25.5f), 26);
    EXPECT_EQ(WholeDegrees(-2.5f), -2);
    EXPECT_EQ(WholeDegrees(-3.5f), -4);
    EXPECT_EQ(WholeDegrees(24.5625f), 25);
    EXPECT_EQ(WholeDegrees(149.9375f), 150);
}

TEST(ThermometerReading, SpokenTextHasTheSignAndNoLeadingZeros)
{
    EXPECT_EQ(SpokenTemperatureText(23), "Текущая температура 23 °C");
    EXPECT_EQ(SpokenTemperatureText(-5), "Текущая температура -5 °C");
    EXPECT_EQ(SpokenTemperatureText(0), "Текущая температура 0 °C");
}

}  // namespace

TEST(ReadingHistory, KeepsOneSampleASecondForADayAndNoMore)
{
    using namespace std::chrono;
    ReadingHistory history;
    const auto start = ReadingHistory::Clock::time_point(seconds(1'800'000'000));
    history.Add(start, 20.0f);
    history.Add(start + milliseconds(900), 21.0f);  // same second: replaces
    ASSERT_EQ(history.Size(), 1u);
    EXPECT_EQ(history.Recent(start + seconds(1)).front().celsius, 21.0f);

    // A day and a bit at one reading a second stays within the bound and
    // keeps exactly the last 24 hours.
    const int total = 90'000;
    for (int i = 1; i < total; ++i)
        history.Add(start + seconds(i), static_cast<float>(i % 100));
    const auto end = start + seconds(total - 1);
    EXPECT_EQ(history.Size(), ReadingHistory::kMaxSamples);
    const auto recent = history.Recent(end);
    EXPECT_EQ(recent.size(), ReadingHistory::kMaxSamples);
    EXPECT_EQ(recent.front().when, end - hours(24) + seconds(1));
    EXPECT_EQ(recent.back().celsius, static_cast<float>((total - 1) % 100));
    // After a pause longer than the span, old samples leave the plot and memory.
    history.Add(end + hours(25), 5.0f);
    EXPECT_EQ(history.Size(), 1u);
}
