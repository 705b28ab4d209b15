// JsonDocument against nlohmann::json, measured in the same run:
//  - a catalogue page (20 products) loaded and read row by row the way the product list is
//    filled (child_document + to_json, get_text), against nlohmann parsing the same page in
//    UTF-8 and reading the same members;
//  - a 1 MiB answer in its wire form (ASCII, Chinese as \u escapes), the same bytes for both;
//  - the same 1 MiB answer as the document gets it in the program (Chinese as GBK) against
//    nlohmann parsing its UTF-8 form.
// Each ratio is nlohmann's time divided by ours: 1.0 or more means JsonDocument is as fast.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "json/json_document.h"
#include "platform/codepage.h"

namespace {

using quillax::JsonDocument;
using quillax::Text;

// One answer in its three forms.
struct Answer {
  std::string wire;  // ASCII, non-ASCII as \uXXXX
  Text local;        // GBK
  std::string utf8;  // UTF-8
};

constexpr char16_t kWords[] =
    u"号码卡套餐流量通话全国通用月租低资费靓号移动联通电信上架产品名称大王卡日租宝不限速专属"
    u"福利首充优惠包邮激活赠送分钟";

std::u16string phrase(unsigned seed, int length) {
  std::u16string out;
  const std::size_t n = sizeof kWords / sizeof kWords[0] - 1;
  for (int i = 0; i < length; ++i) {
    seed = seed * 1103515245u + 12345u;
    out.push_back(kWords[(seed >> 16) % n]);
  }
  return out;
}

std::u16string ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// A string member's JSON text (the content needs no escapes besides the \u form).
std::u16string str(const std::u16string& s) { return u"\"" + s + u"\""; }

std::u16string product(int k) {
  const std::string id = std::to_string(100000 + k);
  std::u16string added;
  switch (k % 3) {
    case 0:
      added = u"null";
      break;
    case 1:
      added = ascii(std::to_string(700000 + k));
      break;
    default:
      added = str(ascii(std::to_string(800000 + k)));
  }
  return u"{\"id\":" + ascii(id) + u",\"title\":" + str(phrase(k, 12) + ascii(id)) +
         u",\"price\":\"" + ascii(std::to_string(19 + k % 80)) + u".00\",\"stock\":" +
         ascii(std::to_string(1000 + k * 7)) + u",\"operator\":" + str(phrase(k + 7, 4)) +
         u",\"image\":\"https:\\/\\/img.example.invalid\\/p\\/" + ascii(id) + u".jpg\",\"desc\":" +
         str(phrase(k + 3, 40)) + u",\"tags\":[" + str(phrase(k + 1, 3)) + u"," +
         str(phrase(k + 2, 3)) + u"],\"on_sale\":true,\"added\":" + added + u"}";
}

std::u16string catalogue(int products, int last_page) {
  std::u16string rows;
  for (int k = 0; k < products; ++k) {
    if (k > 0) rows += u",";
    rows += product(k);
  }
  return u"{\"msg\":{\"code\":0,\"info\":\"" + phrase(99, 2) +
         u"\"},\"data\":{\"current_page\":1,\"data\":[" + rows + u"],\"last_page\":" +
         ascii(std::to_string(last_page)) + u",\"per_page\":20,\"total\":" +
         ascii(std::to_string(products * last_page)) + u"}}";
}

Answer forms(const std::u16string& doc) {
  Answer a;
  static constexpr char kHex[] = "0123456789abcdef";
  for (char16_t c : doc) {
    if (c < 0x80) {
      a.wire.push_back(static_cast<char>(c));
    } else {
      a.wire += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) a.wire.push_back(kHex[(c >> shift) & 0xF]);
    }
  }
  a.local = quillax::platform::wide_to_multibyte(doc, quillax::platform::kGbkCodePage);
  a.utf8 = quillax::platform::wide_to_multibyte(doc, quillax::platform::kUtf8CodePage);
  return a;
}

const Answer& page() {
  static const Answer a = forms(catalogue(20, 5));
  return a;
}

const Answer& big() {
  static const Answer a = [] {
    int n = 20;
    std::u16string doc = catalogue(n, 1);
    while (forms(doc).wire.size() < (std::size_t{1} << 20)) doc = catalogue(n *= 2, 1);
    // Trim to about 1 MiB of wire text.
    while (forms(doc).wire.size() > (std::size_t{1} << 20) + 4096) {
      n = n * 9 / 10;
      doc = catalogue(n, 1);
    }
    return forms(doc);
  }();
  return a;
}

// Loading alone: one body, read whole each iteration.
void load_with_json_document(benchmark::State& state, const std::string& body) {
  for (auto _ : state) {
    JsonDocument doc;
    benchmark::DoNotOptimize(doc.load(body));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}

void parse_with_nlohmann(benchmark::State& state, const std::string& body) {
  for (auto _ : state) {
    nlohmann::json doc = nlohmann::json::parse(body);
    benchmark::DoNotOptimize(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}

// --- the catalogue page, read row by row ------------------------------------------------------

void BM_Page_JsonDocument(benchmark::State& state) {
  const Text& body = page().local;
  for (auto _ : state) {
    JsonDocument doc;
    doc.load(body);
    Text last_page = doc.child_document("data['last_page']").to_json();
    benchmark::DoNotOptimize(last_page);
    const int n = doc.count("data.data");
    for (int k = 0; k < n; ++k) {
      const Text row = "data.data[" + std::to_string(k) + "]";
      Text id = doc.child_document(row + ".id").to_json();
      Text title = doc.get_text(row + ".title");
      Text added = doc.child_document(row + ".added").to_json();
      benchmark::DoNotOptimize(id);
      benchmark::DoNotOptimize(title);
      benchmark::DoNotOptimize(added);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_Page_JsonDocument);

void BM_Page_Nlohmann(benchmark::State& state) {
  const std::string& body = page().utf8;
  for (auto _ : state) {
    const nlohmann::json doc = nlohmann::json::parse(body);
    std::string last_page = doc["data"]["last_page"].dump();
    benchmark::DoNotOptimize(last_page);
    const auto& rows = doc["data"]["data"];
    for (const auto& row : rows) {
      std::string id = row["id"].dump();
      std::string title = row["title"].get<std::string>();
      std::string added = row["added"].dump();
      benchmark::DoNotOptimize(id);
      benchmark::DoNotOptimize(title);
      benchmark::DoNotOptimize(added);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}
BENCHMARK(BM_Page_Nlohmann);

BENCHMARK_CAPTURE(load_with_json_document, PageLoad_JsonDocument, page().local);
BENCHMARK_CAPTURE(parse_with_nlohmann, PageParse_Nlohmann, page().utf8);

// One member read the commands' way, on a loaded page: the cost inside the per-product loop.
void BM_ChildDocumentToJson(benchmark::State& state) {
  JsonDocument doc;
  doc.load(page().local);
  for (auto _ : state) {
    Text added = doc.child_document("data.data[17].added").to_json();
    benchmark::DoNotOptimize(added);
  }
}
BENCHMARK(BM_ChildDocumentToJson);

void BM_GetTextChinese(benchmark::State& state) {
  JsonDocument doc;
  doc.load(page().local);
  for (auto _ : state) {
    Text title = doc.get_text("data.data[17].title");
    benchmark::DoNotOptimize(title);
  }
}
BENCHMARK(BM_GetTextChinese);

// --- 1 MiB --------------------------------------------------------------------------------

BENCHMARK_CAPTURE(load_with_json_document, Big_Wire_JsonDocument, big().wire)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(parse_with_nlohmann, Big_Wire_Nlohmann, big().wire)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(load_with_json_document, Big_Local_JsonDocument, big().local)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(parse_with_nlohmann, Big_Utf8_Nlohmann, big().utf8)
    ->Unit(benchmark::kMillisecond);

// Remembers each benchmark's time per iteration so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        seconds_[run.benchmark_name()] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void print_ratio(const char* what, const std::string& ours, const std::string& theirs) const {
    const auto a = seconds_.find(ours);
    const auto b = seconds_.find(theirs);
    if (a == seconds_.end() || b == seconds_.end() || a->second <= 0) return;
    std::printf("ratio %-44s %.2f  (nlohmann / JsonDocument, target >= 1.0)\n", what,
                b->second / a->second);
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("catalogue page: %zu bytes GBK; big answer: %zu bytes wire, %zu bytes GBK\n",
              page().local.size(), big().wire.size(), big().local.size());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratio("catalogue page, load + read every row", "BM_Page_JsonDocument",
                       "BM_Page_Nlohmann");
  reporter.print_ratio("catalogue page, load only (GBK vs UTF-8)",
                       "load_with_json_document/PageLoad_JsonDocument",
                       "parse_with_nlohmann/PageParse_Nlohmann");
  reporter.print_ratio("1 MiB load, same bytes (wire form)",
                       "load_with_json_document/Big_Wire_JsonDocument",
                       "parse_with_nlohmann/Big_Wire_Nlohmann");
  reporter.print_ratio("1 MiB load, GBK vs UTF-8 of the same answer",
                       "load_with_json_document/Big_Local_JsonDocument",
                       "parse_with_nlohmann/Big_Utf8_Nlohmann");
  benchmark::Shutdown();
  return 0;
}
