// The whole cost of one event on the sender's side: starting PelorinSend with a realistic command
// line until it has sent its datagram and ended, next to starting /bin/true, the cheapest program
// the server could start. Both are measured in the same run so the ratio holds for this machine.

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

void RunToCompletion(benchmark::State& state, std::vector<std::string> command)
{
    std::vector<char*> argv;
    for (std::string& part : command)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("posix_spawn failed");
            return;
        }
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

void BM_StartTrue(benchmark::State& state) { RunToCompletion(state, {"/bin/true"}); }

void BM_PelorinSendOneEvent(benchmark::State& state)
{
    RunToCompletion(state,
                    {PELORIN_BIN_DIR "/PelorinSend", "LogMessageId:123456,",
                     "DriverId:{0A1B2C3D-1111-2222-3333-444455556666},", "DateTime:14.11.2024 13:30:00,",
                     "IsKeyEvent:True,", "MessageType:1,", "MessageSubType:AccessGranted,",
                     "EmployeeId:{9F8E7D6C-AAAA-BBBB-CCCC-DDDDEEEEFFFF},", "Message:Вход по карте,",
                     "DriverName:Турникет 1,", "EmployeeFullName:Иванов Иван Иванович"});
}

} // namespace

BENCHMARK(BM_StartTrue)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_PelorinSendOneEvent)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
