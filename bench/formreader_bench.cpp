// The form reader on a bid confirmation page of one megabyte with 5,000 input fields, and the
// URL encoding of one megabyte of text.
#include <benchmark/benchmark.h>

#include <QString>
#include <random>

#include "bidding/formreader.h"

namespace {

constexpr qsizetype kPageSize = 1 << 20;
constexpr int kInputs = 5000;

// A page with some text before the form and, inside it, 5,000 inputs of every kind the reader
// meets (hidden, text, password, check boxes, buttons), separated by running text, until the
// page is one megabyte long.
QString confirmationPage() {
  std::mt19937 random(1);
  const QString words[] = {QStringLiteral("Gebot "),      QStringLiteral("Artikel "),
                           QStringLiteral("Versand "),    QStringLiteral("Zahlung "),
                           QStringLiteral("bitte "),      QStringLiteral("prüfen "),
                           QStringLiteral("<b>EUR</b> "), QStringLiteral("&amp; ")};
  auto text = [&](int length) {
    QString out;
    while (out.size() < length) out += words[random() % 8];
    out.truncate(length);
    return out;
  };
  QString page = QStringLiteral("<html><head><title>eBay - Review bid</title></head><body>\r\n");
  page += QStringLiteral("<p>") + text(100000) + QStringLiteral("</p>\r\n");
  page += QStringLiteral(
      "<form name=\"PlaceBid\" method=\"post\" "
      "action=\"http://offer.ebay.de/ws/eBayISAPI.dll\">\r\n");
  const qsizetype perInput = (kPageSize - page.size() - 200) / kInputs;
  const char* const types[] = {"hidden", "hidden", "text", "password", "checkbox", "submit"};
  for (int i = 0; i < kInputs; ++i) {
    const QString tag = QStringLiteral(
                            "<input type=\"%1\" name=\"field%2\" value=\"Wert %2 &amp; "
                            "mehr, äöü ß\" size=\"20\">")
                            .arg(QLatin1String(types[i % 6]))
                            .arg(i);
    page += tag + QStringLiteral("<p>") + text(int(perInput - tag.size() - 9)) +
            QStringLiteral("</p>\r\n");
  }
  const QString footer = QStringLiteral("</form></body></html>\r\n");
  page += text(int(kPageSize - page.size() - footer.size())) + footer;
  return page;
}

// One megabyte of typical field values: letters, digits, blanks, umlauts, punctuation and
// entities.
QString valueText() {
  std::mt19937 random(2);
  const QString pieces[] = {QStringLiteral("Lampe"),   QStringLiteral(" "),
                            QStringLiteral("12.50"),   QStringLiteral("äöü"),
                            QStringLiteral("&amp;"),   QStringLiteral("a-b/c?d=e"),
                            QStringLiteral("user_id"), QStringLiteral("+%")};
  QString out;
  while (out.size() < kPageSize) out += pieces[random() % 8];
  out.truncate(kPageSize);
  return out;
}

// What the second bid step does with the page: read the form, fill in the account, build the
// request body.
void BM_FormReader(benchmark::State& state) {
  const QString page = confirmationPage();
  FormReader reader;
  for (auto _ : state) {
    reader.read(page, QStringLiteral("PlaceBid"));
    reader.setFieldValue(QStringLiteral("field2"), QStringLiteral("bieter"));
    reader.setFieldValue(QStringLiteral("field3"), QStringLiteral("geheim"));
    QString body = reader.postData();
    benchmark::DoNotOptimize(body);
  }
  int accepted = 0;  // hidden, text and password inputs: four of every six
  for (int i = 0; i < kInputs; ++i) accepted += i % 6 < 4 ? 1 : 0;
  if (reader.fields().size() != accepted || page.size() != kPageSize)
    state.SkipWithError(
        ("the page is not what it should be: " + std::to_string(reader.fields().size()) +
         " fields, " + std::to_string(page.size()) + " characters")
            .c_str());
  state.counters["fields"] = double(reader.fields().size());
  state.counters["page_chars"] = double(page.size());
}
BENCHMARK(BM_FormReader)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_URLEncode(benchmark::State& state) {
  const QString text = valueText();
  for (auto _ : state) {
    QString encoded = URLEncode(text);
    benchmark::DoNotOptimize(encoded);
  }
  state.counters["chars"] = double(text.size());
}
BENCHMARK(BM_URLEncode)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
