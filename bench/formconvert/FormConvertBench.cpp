// Conversion throughput on a few hundred generated binary forms of realistic make-up, beside Free
// Pascal's ObjectBinaryToText on the very same files (run as a child process that times itself).
#include "StreamBuilder.h"
#include "formconvert/FloatText.h"
#include "formconvert/FormConversion.h"
#include "formconvert/ObjectText.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using B = TStreamBuilder;

constexpr int FormCount = 300;

// Forms shaped like those of a component library's sources and demos: dialogs and windows with
// dozens of controls, a few nested panels, string lists, collections and glyph data.
class TFormGenerator {
public:
  std::string Form(int index) {
    B stream;
    std::string name = "Form" + std::to_string(index);
    stream.Signature().Object("T" + name, name);
    FormProperties(stream);
    stream.End();
    int controls = Between(5, 80);
    for (int i = 0; i < controls; ++i)
      Control(stream, 1);
    stream.End();
    return stream.Resource("T" + name);
  }

private:
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool Chance(int percent) { return Between(1, 100) <= percent; }

  std::string Word(int low, int high) {
    static const char letters[] = "etaoinshrdlucmfwypvbgk ETAOINS";
    std::string word;
    int length = Between(low, high);
    for (int i = 0; i < length; ++i)
      word += letters[Between(0, sizeof letters - 2)];
    return word;
  }

  void FormProperties(B &stream) {
    stream.Property("Left").Int(Between(0, 400)).Property("Top").Int(Between(0, 300));
    stream.Property("Width").Int(Between(300, 900)).Property("Height").Int(Between(200, 700));
    stream.Property("Caption").String(Word(5, 30)).Property("Color").Ident("clBtnFace");
    Font(stream);
    stream.Property("OldCreateOrder").Byte(B::vaFalse).Property("Position").Ident("poScreenCenter");
    stream.Property("OnCreate").Ident("FormCreate").Property("PixelsPerInch").Int(96);
    stream.Property("TextHeight").Int(13);
  }

  void Font(B &stream) {
    stream.Property("Font.Charset").Ident("DEFAULT_CHARSET").Property("Font.Color").Ident("clWindowText");
    stream.Property("Font.Height").Int(-11).Property("Font.Name").String("MS Sans Serif");
    stream.Property("Font.Style").Byte(B::vaSet);
    if (Chance(30))
      stream.ShortString("fsBold");
    stream.End();
  }

  void Control(B &stream, int depth) {
    static const char *const classes[] = {"TLabel", "TEdit",     "TButton", "TCheckBox",    "TComboBox",
                                          "TPanel", "TListView", "TMemo",   "TSpeedButton", "TGroupBox"};
    std::string className = classes[Between(0, 9)];
    stream.Object(className, className.substr(1) + std::to_string(Between(1, 99)));
    stream.Property("Left").Int(Between(0, 600)).Property("Top").Int(Between(0, 500));
    stream.Property("Width").Int(Between(10, 400)).Property("Height").Int(Between(10, 300));
    if (Chance(40))
      stream.Property("Anchors").Byte(B::vaSet).ShortString("akLeft").ShortString("akTop").End();
    if (Chance(70))
      stream.Property("Caption").String(Chance(10) ? Word(70, 300) + "'s" : Word(3, 25));
    if (Chance(20))
      stream.Property("Hint").String(Word(20, 90));
    if (Chance(15))
      Font(stream);
    if (Chance(50))
      stream.Property("TabOrder").Int(Between(0, 40));
    if (Chance(40))
      stream.Property("OnClick").Ident(className.substr(1) + "Click");
    if (Chance(10))
      stream.Property("Visible").Byte(B::vaFalse);
    if (className == "TComboBox" || className == "TMemo") {
      stream.Property(className == "TMemo" ? "Lines.Strings" : "Items.Strings").Byte(B::vaList);
      for (int i = Between(2, 30); i > 0; --i)
        stream.String(Word(3, 60));
      stream.End();
    }
    if (className == "TSpeedButton" || Chance(3)) {
      std::string glyph;
      for (int i = Between(100, 3000); i > 0; --i)
        glyph += char(Between(0, 255));
      stream.Property("Glyph.Data").Binary(glyph);
    }
    if (className == "TListView") {
      stream.Property("Columns").Byte(B::vaCollection);
      for (int i = Between(2, 8); i > 0; --i) {
        stream.Byte(B::vaList)
            .Property("Caption")
            .String(Word(3, 12))
            .Property("Width")
            .Int(Between(20, 200));
        stream.End();
      }
      stream.End();
    }
    if (Chance(5))
      stream.Property("Zoom").Extended(Between(1, 4000) / 64.0);
    if (Chance(3))
      stream.Property("WideHint").WString(u"\u00C4nderung \u20AC " + std::u16string(Between(1, 30), u'w'));
    stream.End();
    if (className == "TPanel" || className == "TGroupBox") {
      for (int i = depth < 4 ? Between(0, 8) : 0; i > 0; --i)
        Control(stream, depth + 1);
    }
    stream.End();
  }

  std::mt19937 random_{20030807};
};

// The forms in memory and as files of a temporary folder, removed at the end.
class TBenchForms {
public:
  TBenchForms() {
    folder_ = fs::temp_directory_path() / ("zel-formconvert-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    TFormGenerator generator;
    for (int i = 0; i < FormCount; ++i) {
      forms_.push_back(generator.Form(i));
      std::ofstream(folder_ / ("Form" + std::to_string(i) + ".dfm"), std::ios::binary) << forms_.back();
      bytes_ += forms_.back().size();
    }
  }
  ~TBenchForms() { fs::remove_all(folder_); }

  const std::vector<std::string> &Forms() const { return forms_; }
  std::int64_t Bytes() const { return std::int64_t(bytes_); }
  std::string Folder() const { return folder_.string(); }

private:
  fs::path folder_;
  std::vector<std::string> forms_;
  std::size_t bytes_ = 0;
};

const TBenchForms &BenchForms() {
  static TBenchForms forms;
  return forms;
}

void BM_ObjectResourceToText(benchmark::State &state) {
  const TBenchForms &forms = BenchForms();
  for (auto _ : state) {
    for (const auto &form : forms.Forms())
      benchmark::DoNotOptimize(ObjectResourceToText(form));
  }
  state.SetBytesProcessed(state.iterations() * forms.Bytes());
  state.counters["forms"] = double(forms.Forms().size());
  state.counters["MB"] = double(forms.Bytes()) / 1e6;
}
// Wall-clock time throughout, as the Free Pascal child measures its own.
BENCHMARK(BM_ObjectResourceToText)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole job on the folder: listing, reading, converting, blanking and writing the ".xfm" files.
void BM_MakeXfmFiles(benchmark::State &state) {
  const TBenchForms &forms = BenchForms();
  for (auto _ : state)
    MakeXfmFiles(forms.Folder());
  state.SetBytesProcessed(state.iterations() * forms.Bytes());
}
BENCHMARK(BM_MakeXfmFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

// Extended values of four make-ups, from a fixed seed: those real forms hold (a zoom factor, a
// percentage: small binary exponents), random mantissas with decimal exponents near +-4000, random
// mantissas over the whole exponent range, and at both ends of the range, the costliest to write.
enum TFloatMakeUp { FormValues, NearExponent4000, WholeRange, RangeEnds };

std::vector<TExtended> BenchFloats(TFloatMakeUp makeUp, std::size_t count) {
  std::mt19937_64 random(19920501 + makeUp);
  std::vector<TExtended> values(count);
  for (TExtended &value : values) {
    value.Mantissa = random() | (std::uint64_t(1) << 63);
    int exponent = 0; // unbiased binary exponent
    switch (makeUp) {
    case FormValues:
      exponent = std::uniform_int_distribution<int>(-10, 12)(random);
      value.Mantissa &= ~std::uint64_t(0) << 52; // a double's 53 bits, as a typed-in value has
      break;
    case NearExponent4000: // 10^4000 is 2^13288
      exponent = std::uniform_int_distribution<int>(13188, 13388)(random) * (random() % 2 ? 1 : -1);
      break;
    case WholeRange:
      exponent = std::uniform_int_distribution<int>(1, 0x7FFE)(random) - 16383;
      break;
    case RangeEnds: // biased exponents 1 to 8 and 0x7FF7 to 0x7FFE
      exponent = std::uniform_int_distribution<int>(1, 8)(random);
      exponent = (random() % 2 ? 0x7FFF - exponent : exponent) - 16383;
      break;
    }
    value.SignExponent = std::uint16_t((random() % 2 ? 0x8000 : 0) | (exponent + 16383));
  }
  return values;
}

// The time of one conversion: each iteration converts the next value.
void BM_FloatToStr(benchmark::State &state) {
  const std::vector<TExtended> values = BenchFloats(TFloatMakeUp(state.range(0)), 4096);
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FloatToStr(values[next]));
    next = (next + 1) % values.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FloatToStr)
    ->ArgName("makeUp")
    ->Arg(FormValues)
    ->Arg(NearExponent4000)
    ->Arg(WholeRange)
    ->Arg(RangeEnds)
    ->Unit(benchmark::kNanosecond);

// A crafted 64 KB form: one property holding a list of extended values with decimal exponents near
// +-4000, each the costliest kind to write exactly.
void BM_CraftedFloatForm(benchmark::State &state) {
  B stream;
  stream.Signature().Object("TForm1", "Form1").Property("Values").Byte(B::vaList);
  std::size_t floats = 0;
  for (const TExtended &value : BenchFloats(NearExponent4000, 65536 / 11)) {
    if (stream.Bytes().size() > 65536 - 32)
      break;
    stream.Extended(value.Mantissa, value.SignExponent);
    ++floats;
  }
  stream.End().End().End();
  const std::string form = stream.Resource();
  for (auto _ : state)
    benchmark::DoNotOptimize(ObjectResourceToText(form));
  state.SetItemsProcessed(state.iterations() * std::int64_t(floats));
  state.counters["floats"] = double(floats);
  state.counters["KB"] = double(form.size()) / 1024;
}
BENCHMARK(BM_CraftedFloatForm)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef ZEL_FPC_BINARY_TO_TEXT
// Free Pascal's converter in memory on the same files; the child reports its own conversion time,
// so neither its start nor its file reading is counted.
void BM_FpcObjectBinaryToText(benchmark::State &state) {
  const TBenchForms &forms = BenchForms();
  std::string command = std::string(ZEL_FPC_BINARY_TO_TEXT) + " '" + forms.Folder() + "' 1";
  for (auto _ : state) {
    long long bytes = 0;
    double seconds = 0;
    FILE *child = ::popen(command.c_str(), "r");
    if (!child || std::fscanf(child, "%lld %lf", &bytes, &seconds) != 2 || bytes != forms.Bytes()) {
      if (child)
        ::pclose(child);
      state.SkipWithError("FpcBinaryToText did not report the conversion of every form");
      return;
    }
    ::pclose(child);
    state.SetIterationTime(seconds);
  }
  state.SetBytesProcessed(state.iterations() * forms.Bytes());
}
BENCHMARK(BM_FpcObjectBinaryToText)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
#endif

} // namespace

BENCHMARK_MAIN();
