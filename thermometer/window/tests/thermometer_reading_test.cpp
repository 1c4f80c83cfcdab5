// Decoding, range check, display text, whole degrees and the spoken text.
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
