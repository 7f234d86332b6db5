// The text work of one moved item and one bill line: the SQL values, the table number and
// note without accents, an item line of the bill, and the establishment's name decoded.
#include "app/text/TextCodec.h"
#include "app/text/UnitBibliotecapalm.h"
#include "platform/RegionalSettings.h"

#include <benchmark/benchmark.h>

namespace {

struct CommaSeparator {
    CommaSeparator() { setRegionalSettings(RegionalSettings::comma()); }
    ~CommaSeparator() { resetRegionalSettings(); }
};

void BM_FloatToSqlText(benchmark::State& state) {
    const CommaSeparator comma;
    double value = 12.345;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FloatToSqlText(value));
        value += 0.001;
    }
}
BENCHMARK(BM_FloatToSqlText);

void BM_StripAccents(benchmark::State& state) {
    const QString note = QString::fromUtf8("Pão d'água, feijão sem caldo, ação à parte");
    for (auto _ : state)
        benchmark::DoNotOptimize(StripAccents(note));
}
BENCHMARK(BM_StripAccents);

void BM_ReceiptItemLine(benchmark::State& state) {
    const CommaSeparator comma;
    for (auto _ : state)
        benchmark::DoNotOptimize(ReceiptItemLine(QStringLiteral("COCA COLA LATA 350ML GELADA"),
                                                 QStringLiteral("1,5"), QStringLiteral("4,00"),
                                                 QStringLiteral("6,00")));
}
BENCHMARK(BM_ReceiptItemLine);

void BM_TextCodecDecode(benchmark::State& state) {
    const QString encoded = TextCodec(QStringLiteral("C"), QStringLiteral("Restaurante Exemplo"));
    for (auto _ : state)
        benchmark::DoNotOptimize(TextCodec(QStringLiteral("D"), encoded));
}
BENCHMARK(BM_TextCodecDecode);

} // namespace
