// The batch walk against the conversions it drives. BM_BatchWalk runs the template
// side of a batch (template load, walk, the names of every greeting) over a generated
// template of N attendants with 4 greetings each, converting nothing, and
// reports how much heap in use grew between the first and the last greeting.
// BM_GreetingConversions makes the two real conversions of one 3-second greeting, the
// work the walk spends its time per greeting against.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "batch/AaTemplate.h"
#include "batch/GreetingPlan.h"
#include "jobs/Converter.h"
#include "platform/TextConversion.h"

namespace {

// Bytes the process holds from malloc, whoever asked for them (the parser included).
std::int64_t heapInUse() {
    return static_cast<std::int64_t>(mallinfo2().uordblks);
}

namespace fs = std::filesystem;

const char* const KINDS[] = {"morning", "afternoon", "evening", "menu"};

fs::path workDirectory() {
    const fs::path directory = fs::temp_directory_path() / "quen-batch-bench";
    fs::create_directories(directory / "rec");
    fs::create_directories(directory / "out");
    return directory;
}

// 8 kHz 16-bit mono PCM: a tone with a little noise.
void writeRecording(const fs::path& file, std::size_t samples) {
    std::vector<char> bytes;
    const auto put32 = [&bytes](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<char>(v >> (8 * i)));
        }
    };
    const auto put16 = [&bytes](std::uint16_t v) {
        bytes.push_back(static_cast<char>(v));
        bytes.push_back(static_cast<char>(v >> 8));
    };
    const auto dataBytes = static_cast<std::uint32_t>(2 * samples);
    bytes.insert(bytes.end(), {'R', 'I', 'F', 'F'});
    put32(36 + dataBytes);
    bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(16);
    put16(1);
    put16(1);
    put32(8000);
    put32(16000);
    put16(2);
    put16(16);
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    put32(dataBytes);
    std::uint32_t noise = 1;
    for (std::size_t i = 0; i < samples; ++i) {
        noise = noise * 1664525 + 1013904223;
        const double value =
            8000 * std::sin(0.2 * static_cast<double>(i)) + static_cast<double>(noise >> 22) - 512;
        put16(static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
    }
    std::ofstream(file, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// N attendants, each with its four greeting kinds on four shared recordings.
fs::path writeTemplate(const fs::path& directory, std::int64_t attendants) {
    const fs::path file = directory / ("aa-" + std::to_string(attendants) + ".xml");
    std::ofstream out(file);
    out << "<?xml version=\"1.0\"?>\n<zandorConfiguration>\n  <AutoAttendants>\n";
    for (std::int64_t i = 0; i < attendants; ++i) {
        out << "    <AutoAttendant>\n      <AAName>Attendant " << i
            << "</AAName>\n      <Greetings>\n";
        for (const char* kind : KINDS) {
            out << "        <Greeting id=\"" << kind << "\">\n          <RecordingName>" << kind
                << ".wav</RecordingName>\n        </Greeting>\n";
        }
        out << "      </Greetings>\n    </AutoAttendant>\n";
    }
    out << "  </AutoAttendants>\n</zandorConfiguration>\n";
    return file;
}

void BM_BatchWalk(benchmark::State& state) {
    const std::int64_t attendants = state.range(0);
    const int mode = static_cast<int>(state.range(1));
    const fs::path directory = workDirectory();
    for (const char* kind : KINDS) {
        writeRecording(directory / "rec" / (std::string(kind) + ".wav"), 8);
    }
    const std::u16string templatePath = quen::toWide(writeTemplate(directory, attendants).string());
    const std::u16string wavDirectory = quen::toWide((directory / "rec").string());
    const std::u16string resultDirectory = quen::toWide((directory / "out").string());

    std::int64_t calls = 0;
    std::int64_t heapAtFirstGreeting = 0;
    std::int64_t heapAtLastGreeting = 0;
    for (auto _ : state) {
        calls = 0;
        quen::GreetingPlanner planner(wavDirectory, resultDirectory, mode);
        const auto walked =
            quen::walkAaTemplate(templatePath, [&](const quen::TemplateGreeting& greeting) {
                const auto plan = planner.plan(greeting);
                benchmark::DoNotOptimize(&plan);
                if (++calls == 1) {
                    heapAtFirstGreeting = heapInUse();
                }
                heapAtLastGreeting = heapInUse();
                return true;
            });
        if (!walked || !*walked || calls != attendants * 4) {
            state.SkipWithError("the walk did not reach every greeting");
            break;
        }
    }
    const auto greetings = static_cast<double>(attendants * 4);
    state.counters["greetings"] = greetings;
    state.counters["per_greeting"] = benchmark::Counter(
        greetings, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["heap_growth_bytes"] =
        static_cast<double>(heapAtLastGreeting - heapAtFirstGreeting);
    state.counters["heap_during_walk_kB"] = static_cast<double>(heapAtLastGreeting) / 1024;
}
BENCHMARK(BM_BatchWalk)
    ->ArgsProduct({{100, 1000, 4000}, {1, 2}})
    ->ArgNames({"attendants", "mode"})
    ->Unit(benchmark::kMillisecond);

// The two conversions of one greeting of 3 seconds, as the batch job makes them.
void BM_GreetingConversions(benchmark::State& state) {
    const fs::path directory = workDirectory();
    const fs::path recording = directory / "rec" / "three-seconds.wav";
    writeRecording(recording, 24000);
    const std::u16string wavFile = quen::toWide(recording.string());
    const std::u16string c23 = quen::toWide((directory / "out" / "three-seconds.c23").string());
    const std::u16string c11 = quen::toWide((directory / "out" / "three-seconds.c11").string());
    quen::LogBuffer log;
    const quen::Converter converter(log);
    for (auto _ : state) {
        const bool g723 = converter.convertGreeting(
            {wavFile, u"Auto Attendant", u"three-seconds.wav", u"g723", c23});
        const bool g711 = converter.convertGreeting(
            {wavFile, u"Auto Attendant", u"three-seconds.wav", u"g711", c11});
        if (!g723 || !g711) {
            state.SkipWithError("a conversion failed");
            break;
        }
    }
}
BENCHMARK(BM_GreetingConversions)->Unit(benchmark::kMillisecond);

}  // namespace
