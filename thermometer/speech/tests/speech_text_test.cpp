// Degrees written out for the Russian voice, positions mapped back, SSML marks.
#include <gtest/gtest.h>

#include "speech_text.h"

namespace {

std::string FormFor(const char32_t* digits) { return DegreeWordForm(digits, false); }

TEST(DegreeWordForm, FollowsRussianPluralRules) {
  struct Case {
    const char32_t* digits;
    const char* form;
  };
  const Case cases[] = {
      {U"0", "градусов"},   {U"1", "градус"},     {U"2", "градуса"},    {U"3", "градуса"},
      {U"4", "градуса"},    {U"5", "градусов"},   {U"10", "градусов"},  {U"11", "градусов"},
      {U"12", "градусов"},  {U"13", "градусов"},  {U"14", "градусов"},  {U"15", "градусов"},
      {U"20", "градусов"},  {U"21", "градус"},    {U"22", "градуса"},   {U"24", "градуса"},
      {U"25", "градусов"},  {U"101", "градус"},   {U"111", "градусов"}, {U"112", "градусов"},
      {U"123", "градуса"},  {U"149", "градусов"}, {U"1001", "градус"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormFor(c.digits), c.form) << EncodeUtf8(c.digits);
}

TEST(DegreeWordForm, FractionTakesGenitiveSingular) {
  EXPECT_STREQ(DegreeWordForm(U"23", true), "градуса");
  EXPECT_STREQ(DegreeWordForm(U"1", true), "градуса");
}

TEST(RussianSpeakable, WritesOutNegativeTemperature) {
  EXPECT_EQ(MakeRussianSpeakable("Текущая температура -5 °C").text,
            "Текущая температура минус 5 градусов Цельсия");
}

TEST(RussianSpeakable, WritesOutTheFormsTheWindowProduces) {
  EXPECT_EQ(MakeRussianSpeakable("Текущая температура 0 °C").text,
            "Текущая температура 0 градусов Цельсия");
  EXPECT_EQ(MakeRussianSpeakable("Текущая температура 21 °C").text,
            "Текущая температура 21 градус Цельсия");
  EXPECT_EQ(MakeRussianSpeakable("Текущая температура 23 °C").text,
            "Текущая температура 23 градуса Цельсия");
  EXPECT_EQ(MakeRussianSpeakable("Текущая температура -12 °C").text,
            "Текущая температура минус 12 градусов Цельсия");
  EXPECT_EQ(MakeRussianSpeakable("Текущая температура 149 °C").text,
            "Текущая температура 149 градусов Цельсия");
}

TEST(RussianSpeakable, AcceptsOtherSpellingsOfTheSign) {
  EXPECT_EQ(MakeRussianSpeakable("2°C").text, "2 градуса Цельсия");
  EXPECT_EQ(MakeRussianSpeakable("2 °С").text, "2 градуса Цельсия");  // Cyrillic Es
  EXPECT_EQ(MakeRussianSpeakable("\u22123 °C").text, "минус 3 градуса Цельсия");
  EXPECT_EQ(MakeRussianSpeakable("23.5 °C").text, "23.5 градуса Цельсия");
}

TEST(RussianSpeakable, LeavesEverythingElseAlone) {
  const char* untouched[] = {"", "без числа", "5 °F", "7 °Cx", "x-5", "15-5", "A5 °C",
                             "°C", "12 345"};
  for (const char* text : untouched) EXPECT_EQ(MakeRussianSpeakable(text).text, text) << text;
  // A hyphen between words is not a minus sign.
  EXPECT_EQ(MakeRussianSpeakable("от 15-5 °C").text, "от 15-5 градусов Цельсия");
}

TEST(RussianSpeakable, MapsSpokenPositionsBackToTheCallersText) {
  const SpeakableText s = MakeRussianSpeakable("Т -5 °C ок");
  const std::u32string spoken = DecodeUtf8(s.text);
  ASSERT_EQ(spoken, U"Т минус 5 градусов Цельсия ок");
  ASSERT_EQ(s.sourceIndex.size(), spoken.size());
  EXPECT_EQ(s.sourceIndex[0], 0);                         // Т
  EXPECT_EQ(s.sourceIndex[2], 2);                         // минус -> '-'
  EXPECT_EQ(s.sourceIndex[spoken.find(U'5')], 3);         // the digit itself
  EXPECT_EQ(s.sourceIndex[spoken.find(U"градусов")], 5);  // -> '°'
  EXPECT_EQ(s.sourceIndex[spoken.find(U"Цельсия")], 5);
  EXPECT_EQ(s.sourceIndex[spoken.find(U"ок")], 8);
}

TEST(Utf8, MalformedBytesBecomeReplacementCharacters) {
  EXPECT_EQ(DecodeUtf8("a\xFF" "b"), U"a\uFFFDb");
  EXPECT_EQ(DecodeUtf8("\xD0"), U"\uFFFD");              // cut short
  EXPECT_EQ(DecodeUtf8("\xC0\xAF"), U"\uFFFD\uFFFD");    // overlong
  EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD");  // surrogate
  EXPECT_EQ(DecodeUtf8("Ё😀"), U"Ё😀");
  EXPECT_EQ(EncodeUtf8(DecodeUtf8("Ё😀°")), "Ё😀°");
  // The engine never gets the bad bytes.
  EXPECT_EQ(MakeRussianSpeakable("t\xFF").text, "t\xEF\xBF\xBD");
}

TEST(Ssml, MarksEveryWordByItsPositionAndEscapes) {
  EXPECT_EQ(BuildSsmlWithWordMarks("Ток <5> & \"ok\""),
            "<speak><mark name=\"0\"/>Ток &lt;<mark name=\"5\"/>5&gt; &amp; &quot;"
            "<mark name=\"11\"/>ok&quot;</speak>");
  EXPECT_EQ(BuildSsmlWithWordMarks("a\x01\nb"),
            "<speak><mark name=\"0\"/>a  <mark name=\"3\"/>b</speak>");
  EXPECT_EQ(BuildSsmlWithWordMarks(""), "<speak></speak>");
}

}  // namespace
