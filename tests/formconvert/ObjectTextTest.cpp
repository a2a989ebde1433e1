// The binary component stream reader on streams built by hand: one case per value type and per
// rule of the text form, and the malformed streams that must end in an EReadError.
#include "formconvert/ObjectText.h"
#include "StreamBuilder.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using B = TStreamBuilder;

// A form "Form1: TForm1" with one property "Value" holding the given value bytes.
std::string FormWithValue(const B &value) {
  B stream;
  stream.Signature().Object("TForm1", "Form1").Property("Value").Raw(value.Bytes()).End().End();
  return stream.Bytes();
}

std::string TextWithValue(const std::string &valueText) {
  return "object Form1: TForm1\r\n  Value = " + valueText + "\r\nend\r\n";
}

std::string Hex(int count, int first = 0) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (int i = 0; i < count; ++i) {
    unsigned byte = unsigned(first + i) & 0xFF;
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

std::string Bytes(int count, int first = 0) {
  std::string bytes;
  for (int i = 0; i < count; ++i)
    bytes += char((first + i) & 0xFF);
  return bytes;
}

struct TValueCase {
  const char *Name;
  B Value;
  std::string Expected;
};

void PrintTo(const TValueCase &c, std::ostream *os) {
  *os << c.Name;
}

class ValueTextTest : public ::testing::TestWithParam<TValueCase> {};

TEST_P(ValueTextTest, WritesTheValueAsTheIdeDoes) {
  EXPECT_EQ(ObjectBinaryToText(FormWithValue(GetParam().Value)), TextWithValue(GetParam().Expected));
}

const std::string ItemIndent = "\r\n    "; // a new line one level below the property

INSTANTIATE_TEST_SUITE_P(
    Integers, ValueTextTest,
    ::testing::Values(TValueCase{"Int8", B().Int(-5), "-5"},
                      TValueCase{"Int8SignExtends", B().Byte(B::vaInt8).Byte(0x80), "-128"},
                      TValueCase{"Int16", B().Int(-129), "-129"},
                      TValueCase{"Int32", B().Int(100000), "100000"},
                      TValueCase{"Int32Smallest", B().Byte(B::vaInt32).Little(0x80000000u, 4), "-2147483648"},
                      TValueCase{"Int64", B().Int(10000000000), "10000000000"},
                      TValueCase{"Int64Smallest", B().Int(INT64_MIN), "-9223372036854775808"}),
    [](const auto &info) { return std::string(info.param.Name); });

INSTANTIATE_TEST_SUITE_P(
    Floats, ValueTextTest,
    ::testing::Values(TValueCase{"Extended", B().Extended(100.0), "100"},
                      TValueCase{"ExtendedFraction", B().Extended(0xB555555555553D50ull, 0x3FFE),
                                 "0.708333333333333"},
                      TValueCase{"ExtendedNegativeSmall", B().Extended(-2.5e-7), "-2.5E-7"},
                      TValueCase{"Single", B().Single(1.5f), "1.5s"},
                      TValueCase{"SingleInexact", B().Single(0.1f), "0.100000001490116s"},
                      TValueCase{"CurrencyAsScaledInteger", B().Currency(15000), "15000c"},
                      TValueCase{"CurrencyNegative", B().Currency(-1), "-1c"},
                      TValueCase{"CurrencyLarge", B().Currency(INT64_MAX), "9.22337203685478E18c"},
                      TValueCase{"Date", B().Date(37622.5), "37622.5d"},
                      TValueCase{"DateZero", B().Date(0), "0d"}),
    [](const auto &info) { return std::string(info.param.Name); });

INSTANTIATE_TEST_SUITE_P(Identifiers, ValueTextTest,
                         ::testing::Values(TValueCase{"Ident", B().Ident("alClient"), "alClient"},
                                           TValueCase{"False", B().Byte(B::vaFalse), "False"},
                                           TValueCase{"True", B().Byte(B::vaTrue), "True"},
                                           TValueCase{"Nil", B().Byte(B::vaNil), "nil"},
                                           TValueCase{"Null", B().Byte(B::vaNull), "Null"}),
                         [](const auto &info) { return std::string(info.param.Name); });

INSTANTIATE_TEST_SUITE_P(
    Strings, ValueTextTest,
    ::testing::Values(
        TValueCase{"Plain", B().String("Hello"), "'Hello'"}, TValueCase{"Empty", B().String(""), "''"},
        TValueCase{"QuoteAsCode", B().String("Don't"), "'Don'#39't'"},
        TValueCase{"OnlyQuotes", B().String("''"), "#39#39"},
        TValueCase{"ControlCharacters", B().String("\r\nx\t"), "#13#10'x'#9"},
        TValueCase{"Blank", B().String(" "), "' '"}, TValueCase{"UnitSeparator", B().String("\x1F"), "#31"},
        TValueCase{"DeleteIsPrintable", B().String("a\x7F"), "'a\x7F'"},
        TValueCase{"HighBytesStayRaw", B().String("caf\xE9"), "'caf\xE9'"},
        TValueCase{"LongStringType", B().Byte(B::vaLString).Little(3, 4).Raw("abc"), "'abc'"},
        TValueCase{"LongStringNegativeLength", B().Byte(B::vaLString).Little(0xFFFFFFFFu, 4), "''"},
        TValueCase{"Wide", B().WString(u"x\u20AC"), "'x'#8364"},
        TValueCase{"WideAboveAsciiAsCode", B().WString(u"\u00E9t\u00E9"), "#233't'#233"},
        TValueCase{"WideEmpty", B().WString(u""), "''"},
        TValueCase{"WideQuote", B().WString(u"it's"), "'it'#39's'"},
        TValueCase{"Utf8", B().Utf8String("Gr\xC3\xBC\xC3\x9F"), "'Gr'#252#223"},
        TValueCase{"Utf8ThreeBytes", B().Utf8String("\xE2\x82\xAC 5"), "#8364' 5'"},
        TValueCase{"Utf8Truncated", B().Utf8String("ab\xC3"), "''"},
        TValueCase{"Utf8BadTrail",
                   B().Utf8String("\xC3"
                                  "a"),
                   "''"},
        // The IDE's decoder knows no four-byte sequences: they spoil the whole string.
        TValueCase{"Utf8FourBytes", B().Utf8String("a\xF0\x9F\x98\x80"), "''"}),
    [](const auto &info) { return std::string(info.param.Name); });

INSTANTIATE_TEST_SUITE_P(
    Structures, ValueTextTest,
    ::testing::Values(
        TValueCase{"Set", B().Byte(B::vaSet).ShortString("fsBold").ShortString("fsItalic").End(),
                   "[fsBold, fsItalic]"},
        TValueCase{"SetOfOne", B().Byte(B::vaSet).ShortString("akLeft").End(), "[akLeft]"},
        TValueCase{"EmptySet", B().Byte(B::vaSet).End(), "[]"},
        TValueCase{"List", B().Byte(B::vaList).Int(1).String("a").End(),
                   "(" + ItemIndent + "1" + ItemIndent + "'a')"},
        TValueCase{"EmptyList", B().Byte(B::vaList).End(), "()"},
        TValueCase{"NestedList", B().Byte(B::vaList).Byte(B::vaList).Int(1).End().Int(2).End(),
                   "(" + ItemIndent + "(\r\n      1)" + ItemIndent + "2)"},
        TValueCase{"Binary", B().Binary("\x0A\x0B"), "{0A0B}"},
        TValueCase{"EmptyBinary", B().Binary(""), "{}"},
        TValueCase{"BinaryJustUnderALine", B().Binary(Bytes(31)), "{" + Hex(31) + "}"},
        TValueCase{"BinaryOneLine", B().Binary(Bytes(32)), "{" + ItemIndent + Hex(32) + "}"},
        TValueCase{"BinaryTwoLines", B().Binary(Bytes(33, 200)),
                   "{" + ItemIndent + Hex(32, 200) + ItemIndent + Hex(1, 232) + "}"},
        TValueCase{"BinaryNegativeCount", B().Byte(B::vaBinary).Little(0xFFFFFFFFu, 4), "{}"},
        TValueCase{"EmptyCollection", B().Byte(B::vaCollection).End(), "<>"},
        TValueCase{"Collection",
                   B().Byte(B::vaCollection)
                       .Byte(B::vaList)
                       .Property("Width")
                       .Int(1)
                       .End()
                       .Byte(B::vaList)
                       .Property("Caption")
                       .String("x")
                       .End()
                       .End(),
                   "<" + ItemIndent + "item\r\n      Width = 1\r\n    end" + ItemIndent +
                       "item\r\n      Caption = 'x'\r\n    end>"},
        TValueCase{
            "CollectionItemOrders",
            B().Byte(B::vaCollection).Int(3).Byte(B::vaList).End().Int(300).Byte(B::vaList).End().End(),
            "<" + ItemIndent + "item [3]\r\n    end" + ItemIndent + "item [300]\r\n    end>"},
        TValueCase{"NestedCollection",
                   B().Byte(B::vaCollection)
                       .Byte(B::vaList)
                       .Property("Sub")
                       .Byte(B::vaCollection)
                       .Byte(B::vaList)
                       .Property("X")
                       .Byte(B::vaTrue)
                       .End()
                       .End()
                       .End()
                       .End(),
                   "<" + ItemIndent + "item\r\n      Sub = <\r\n        item\r\n          X = True\r\n" +
                       "        end>\r\n    end>"}),
    [](const auto &info) { return std::string(info.param.Name); });

class LongStringTest : public ::testing::Test {
protected:
  static std::string Convert(const std::string &text) {
    return ObjectBinaryToText(FormWithValue(B().String(text)));
  }
  const std::string a64 = std::string(64, 'a');
};

TEST_F(LongStringTest, SixtyFourCharactersStayOnThePropertyLine) {
  EXPECT_EQ(Convert(a64), TextWithValue("'" + a64 + "'"));
}

TEST_F(LongStringTest, LongerStringStartsOnItsOwnLineAndIsCutEvery64Characters) {
  // The blank after "=" stays at the end of the property line.
  EXPECT_EQ(Convert(a64 + a64 + "b"),
            TextWithValue("\r\n    '" + a64 + "' +\r\n    '" + a64 + "' +\r\n    'b'"));
}

TEST_F(LongStringTest, NoJoinAfterTheLastPiece) {
  EXPECT_EQ(Convert(a64 + a64), TextWithValue("\r\n    '" + a64 + "' +\r\n    '" + a64 + "'"));
}

TEST_F(LongStringTest, CodesCountAsOneCharacter) {
  std::string a63(63, 'a');
  EXPECT_EQ(Convert(a63 + "\r" + "bc"), TextWithValue("\r\n    '" + a63 + "'#13 +\r\n    'bc'"));
  EXPECT_EQ(Convert(a63 + "b'c"), TextWithValue("\r\n    '" + a63 + "b' +\r\n    #39'c'"));
}

TEST_F(LongStringTest, LongStringsOfAllTypesAreCut) {
  std::u16string wide(65, u'w');
  EXPECT_EQ(ObjectBinaryToText(FormWithValue(B().WString(wide))),
            TextWithValue("\r\n    '" + std::string(64, 'w') + "' +\r\n    'w'"));
  std::string long300(300, 'x');
  std::string expected;
  for (int i = 0; i < 4; ++i)
    expected += "\r\n    '" + std::string(64, 'x') + "' +";
  EXPECT_EQ(Convert(long300), TextWithValue(expected + "\r\n    '" + std::string(44, 'x') + "'"));
}

TEST(ObjectHeaderTest, WritesEachKindOfHeader) {
  B stream;
  stream.Signature()
      .Object("TForm1", "Form1", B::FlagInherited)
      .End()
      .Object("TFrame1", "Frame1", B::FlagInline | B::FlagChildPos, 2)
      .End()
      .End()
      .Object("TPanel", "Panel1", B::FlagInherited | B::FlagInline)
      .End()
      .End()
      .Object("TButton", "Button1", B::FlagChildPos, 300)
      .End()
      .End()
      .Object("TTimer", "")
      .End()
      .End()
      .Object("TLabel", "Label1", 8)
      .End()
      .End()
      .End();
  EXPECT_EQ(ObjectBinaryToText(stream.Bytes()), "inherited Form1: TForm1\r\n"
                                                "  inline Frame1: TFrame1 [2]\r\n"
                                                "  end\r\n"
                                                "  inherited Panel1: TPanel\r\n"
                                                "  end\r\n"
                                                "  object Button1: TButton [300]\r\n"
                                                "  end\r\n"
                                                "  object TTimer\r\n"
                                                "  end\r\n"
                                                "  object Label1: TLabel\r\n"
                                                "  end\r\n"
                                                "end\r\n");
}

TEST(ObjectHeaderTest, IndentsTwoBlanksPerLevel) {
  B stream;
  stream.Signature()
      .Object("TForm1", "Form1")
      .Property("Left")
      .Int(10)
      .End()
      .Object("TPanel", "Panel1")
      .Property("Align")
      .Ident("alClient")
      .End()
      .Object("TButton", "Button1")
      .Property("Caption")
      .String("OK")
      .End()
      .End()
      .End()
      .End();
  EXPECT_EQ(ObjectBinaryToText(stream.Bytes()), "object Form1: TForm1\r\n"
                                                "  Left = 10\r\n"
                                                "  object Panel1: TPanel\r\n"
                                                "    Align = alClient\r\n"
                                                "    object Button1: TButton\r\n"
                                                "      Caption = 'OK'\r\n"
                                                "    end\r\n"
                                                "  end\r\n"
                                                "end\r\n");
}

TEST(ObjectHeaderTest, IgnoresBytesAfterTheRootObject) {
  B stream;
  stream.Signature().Object("TForm1", "Form1").End().End().Raw("\xFF\xFFgarbage");
  EXPECT_EQ(ObjectBinaryToText(stream.Bytes()), "object Form1: TForm1\r\nend\r\n");
}

TEST(ResourceHeaderTest, SkipsTheHeaderBeforeTheStream) {
  B stream;
  stream.Signature().Object("TForm1", "Form1").End().End();
  EXPECT_EQ(ObjectResourceToText(stream.Resource()), "object Form1: TForm1\r\nend\r\n");
  EXPECT_EQ(ObjectResourceToText(stream.Resource("")), "object Form1: TForm1\r\nend\r\n");
  EXPECT_EQ(ObjectResourceToText(stream.Resource(std::string(76, 'N'))), "object Form1: TForm1\r\nend\r\n");
}

// The error of a malformed stream: its message, or "" when the stream converted.
std::string ErrorOf(std::string (*convert)(std::string_view), const std::string &bytes) {
  try {
    convert(bytes);
  } catch (const EReadError &error) {
    return error.Message();
  }
  return "";
}

std::string StreamError(const B &stream) {
  return ErrorOf(ObjectBinaryToText, stream.Bytes());
}
std::string ValueError(const B &value) {
  return ErrorOf(ObjectBinaryToText, FormWithValue(value));
}

TEST(ResourceHeaderTest, RejectsAnythingButTheResourceMarker) {
  B stream;
  stream.Signature().Object("TForm1", "Form1").End().End();
  EXPECT_EQ(ErrorOf(ObjectResourceToText, stream.Bytes()), "Invalid stream format");
  EXPECT_EQ(ErrorOf(ObjectResourceToText, ""), "Invalid stream format");
  EXPECT_EQ(ErrorOf(ObjectResourceToText, "\xFF"), "Invalid stream format");
  EXPECT_EQ(ErrorOf(ObjectResourceToText, "\xFF\x0B" + std::string(1, '\0') + "X"), "Invalid stream format");
  EXPECT_EQ(ErrorOf(ObjectResourceToText, "\xFF\x0A\x01" + stream.Bytes()), "Invalid stream format");
}

TEST(ResourceHeaderTest, NameEndsWithin79Bytes) {
  // A longer name is taken as 76 characters, and the stream is looked for in the middle of it.
  B stream;
  stream.Signature().Object("TForm1", "Form1").End().End();
  EXPECT_EQ(ErrorOf(ObjectResourceToText, stream.Resource(std::string(77, 'N'))), "Invalid stream format");
}

TEST(ResourceHeaderTest, HeaderWithoutStream) {
  std::string header = std::string("\xFF\x0A", 2) + '\0' + "TFORM1" + '\0';
  EXPECT_EQ(ErrorOf(ObjectResourceToText, header + "\x30\x10"), "Stream read error");
  EXPECT_EQ(ErrorOf(ObjectResourceToText, header + std::string(6, '\0')), "Stream read error");
}

TEST(MalformedStreamTest, Signature) {
  EXPECT_EQ(StreamError(B()), "Stream read error");
  EXPECT_EQ(StreamError(B().Raw("TPF")), "Stream read error");
  EXPECT_EQ(StreamError(B().Raw("TPF1").Object("TForm1", "Form1").End().End()), "Invalid stream format");
}

TEST(MalformedStreamTest, UnknownValueTypeNamesTheProperty) {
  EXPECT_EQ(ValueError(B().Byte(21)), "Error reading Form1.Value: Invalid property value");
  EXPECT_EQ(ValueError(B().Byte(0xFF)), "Error reading Form1.Value: Invalid property value");
  EXPECT_EQ(ValueError(B().Byte(B::vaList).Byte(22).End()),
            "Error reading Form1.Value: Invalid property value");
}

std::string Repeated(const std::string &piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i)
    text += piece;
  return text;
}

TEST(MalformedStreamTest, MisreadNamesShowControlCharactersAndAreCut) {
  const std::string nul(1, '\0');
  struct TCase {
    std::string Object, Property, Expected;
  } cases[] = {
      {"Form" + nul + "X", "Val\x01ue", "Error reading Form#0X.Val#1ue: Invalid property value"},
      {"Form1", "\t\r\n\x1F ~\x7F\xE9", "Error reading Form1.#9#13#10#31 ~\x7F\xE9: Invalid property value"},
      {std::string(64, 'O'), std::string(65, 'P'),
       "Error reading " + std::string(64, 'O') + "." + std::string(64, 'P') + "...: Invalid property value"},
      {std::string(200, '\0'), "Value",
       "Error reading " + Repeated("#0", 64) + "....Value: Invalid property value"},
  };
  for (const auto &c : cases) {
    B stream;
    stream.Signature().Object("TForm1", c.Object).Property(c.Property).Byte(21).End().End();
    EXPECT_EQ(StreamError(stream), c.Expected) << c.Expected;
  }
}

TEST(MalformedStreamTest, ValueOfTheWrongType) {
  EXPECT_EQ(StreamError(B().Signature().Byte(0xF2).String("x").Object("TForm1", "Form1").End().End()),
            "Invalid property value");
  // A collection item must be a list of properties.
  EXPECT_EQ(ValueError(B().Byte(B::vaCollection).Int(1).Int(2).End()), "Invalid property value");
}

TEST(MalformedStreamTest, LengthsBeyondTheStreamAreNotAllocated) {
  EXPECT_EQ(ValueError(B().Byte(B::vaLString).Little(0x7FFFFFFF, 4).Raw("abc")), "Stream read error");
  EXPECT_EQ(ValueError(B().Byte(B::vaWString).Little(0x7FFFFFFF, 4).Raw("abc")), "Stream read error");
  EXPECT_EQ(ValueError(B().Byte(B::vaUTF8String).Little(0x7FFFFFFF, 4).Raw("abc")), "Stream read error");
  EXPECT_EQ(ValueError(B().Byte(B::vaBinary).Little(0x7FFFFFFF, 4).Raw("abc")), "Stream read error");
  EXPECT_EQ(ValueError(B().Byte(B::vaString).Byte(200).Raw("abc")), "Stream read error");
}

TEST(MalformedStreamTest, FixedSizeValuesCutShort) {
  // A value cut short at the end of the stream, with nothing after it.
  for (std::uint8_t type : {B::vaInt8, B::vaInt16, B::vaInt32, B::vaInt64, B::vaExtended, B::vaSingle,
                            B::vaCurrency, B::vaDate}) {
    B stream;
    stream.Signature().Object("TForm1", "Form1").Property("Value").Byte(type).Raw("\x01");
    EXPECT_EQ(StreamError(stream), "Stream read error") << "value type " << int(type);
  }
}

class NestingTest : public ::testing::Test {
protected:
  // depth objects, each inside the one before.
  static B NestedObjects(int depth) {
    B stream;
    stream.Signature();
    for (int i = 0; i < depth; ++i)
      stream.Object("TPanel", "P" + std::to_string(i)).End();
    for (int i = 0; i < depth; ++i)
      stream.End();
    return stream;
  }
  // A property of the root object holding depth lists, each inside the one before.
  static B NestedLists(int depth) {
    B value;
    for (int i = 0; i < depth; ++i)
      value.Byte(B::vaList);
    for (int i = 0; i < depth; ++i)
      value.End();
    return value;
  }
  static B NestedCollections(int depth) {
    B value;
    for (int i = 0; i < depth; ++i)
      value.Byte(B::vaCollection).Byte(B::vaList).Property("Items");
    value.Byte(B::vaNil);
    for (int i = 0; i < depth; ++i)
      value.End().End();
    return value;
  }
};

TEST_F(NestingTest, ObjectsUpToTheLimit) {
  std::string text = ObjectBinaryToText(NestedObjects(MaxNestingLevel).Bytes());
  std::string innermost = std::string(2 * (MaxNestingLevel - 1), ' ') + "object P999: TPanel\r\n";
  EXPECT_NE(text.find(innermost), std::string::npos);
  EXPECT_EQ(StreamError(NestedObjects(MaxNestingLevel + 1)), "Nesting deeper than 1000 levels");
}

TEST_F(NestingTest, ListsUpToTheLimit) {
  // The property sits on level 1, so 999 lists reach level 1000.
  EXPECT_EQ(ValueError(NestedLists(MaxNestingLevel - 1)), "");
  EXPECT_EQ(ValueError(NestedLists(MaxNestingLevel)), "Nesting deeper than 1000 levels");
}

TEST_F(NestingTest, CollectionsUpToTheLimit) {
  // Each collection takes two levels: its items and their properties.
  EXPECT_EQ(ValueError(NestedCollections(MaxNestingLevel / 2 - 1)), "");
  EXPECT_EQ(ValueError(NestedCollections(MaxNestingLevel / 2)), "Nesting deeper than 1000 levels");
}

TEST_F(NestingTest, TextOfADeepCorruptStreamIsCapped) {
  // 200,000 one-byte items at level 1000 would make 400 MB of blanks.
  B value;
  for (int i = 0; i < MaxNestingLevel - 1; ++i)
    value.Byte(B::vaList);
  value.Raw(std::string(200000, char(B::vaNil)));
  for (int i = 0; i < MaxNestingLevel - 1; ++i)
    value.End();
  EXPECT_EQ(ValueError(value), "Form text too large");
  // The same items at a shallow level are a form like any other.
  B shallow;
  shallow.Byte(B::vaList).Raw(std::string(200000, char(B::vaNil))).End();
  EXPECT_EQ(ValueError(shallow), "");
}

TEST_F(NestingTest, DeepCorruptStreamEndsInAnError) {
  // A run of list markers as long as a file might be, far past the limit.
  EXPECT_EQ(ValueError(B().Raw(std::string(100000, char(B::vaList)))), "Nesting deeper than 1000 levels");
}

} // namespace
