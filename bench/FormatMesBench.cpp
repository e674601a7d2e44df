#include "messaging/FormatMes.h"

#include <benchmark/benchmark.h>

namespace {

TMes SampleEvent()
{
    TMes mes;
    mes.SetEmployeeFullName(QStringLiteral("Иванов Иван Иванович"));
    mes.DriverName = QStringLiteral("Турникет");
    mes.Message = QStringLiteral("Вход");
    mes.DateTime = QDateTime(QDate(2024, 11, 14), QTime(13, 30));
    mes.TemperatureCheckState = 1;
    mes.TemperatureResult = 372;
    return mes;
}

// One event through the default template (an empty template), as dispatch does per recipient.
void BM_FormatMesDefaultTemplate(benchmark::State& state)
{
    const TMes mes = SampleEvent();
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    for (auto _ : state)
        benchmark::DoNotOptimize(FormatMes(mes, QString(), russian));
}
BENCHMARK(BM_FormatMesDefaultTemplate);

} // namespace
