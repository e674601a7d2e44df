#include "messaging/FormatMes.h"

#include <benchmark/benchmark.h>

namespace {

// One event through the default template (an empty template), as dispatch does per recipient.
void BM_FormatMesDefaultTemplate(benchmark::State& state)
{
    const TMes mes = SampleMes();
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatMes(mes, QString(), russian));
}
BENCHMARK(BM_FormatMesDefaultTemplate);

} // namespace
