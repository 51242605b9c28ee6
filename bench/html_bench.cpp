// Parses generated archive-style pages (1 MB and 20 MB of UTF-8) with our
// parser, lexbor and gumbo, interleaved in one run with the trees
// cross-checked, then runs the benchmark library's cases: the same parsers
// one after another, a loop that only looks at every byte, and "hostile"
// pages that show the rate staying flat as pathological inputs grow (compare
// with --warm-heap, see main). Rates are in bytes of the UTF-8 page per
// second; our parser reads the page already decoded, as the website reader
// hands it over.
#include <benchmark/benchmark.h>
#include <gumbo.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "html/html_parser.h"
#include "html_bench_lexbor.h"

using namespace zid;

namespace {

// One archive table row after another, the shape of the website's Archive.htm.
std::string ArchivePage(size_t bytes) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Velonar &mdash; Archive</title>\n</head>\n<body>\n<h1>Older releases</h1>\n"
        "<table id=\"archive32bit\" class=\"archive\" style=\"width: 100%\">\n"
        "<tr><th>Package</th><th>Released</th><th>Note</th></tr>\n";
    char row[512];
    for (unsigned i = 0; page.size() < bytes; ++i) {
        std::snprintf(row, sizeof row,
                      "<tr><td><a href=\"files/Velonar-%u.%02u-x86.msi\">Velonar %u.%02u</a></td>"
                      "<td>20%02u-%02u-%02u</td><td>Fixes for the installer &ndash; see "
                      "<a href=\"Changes.htm#v%u\">what\xE2\x80\x99s new</a></td></tr>\n",
                      i / 100, i % 100, i / 100, i % 100, 10 + i % 15, 1 + i % 12, 1 + i % 28, i);
        page += row;
    }
    page += "</table>\n</body>\n</html>\n";
    return page;
}

const std::string& Page(int64_t megabytes) {
    static std::string one = ArchivePage(1u << 20);
    static std::string twenty = ArchivePage(20u << 20);
    return megabytes == 1 ? one : twenty;
}

void BM_ByteScan(benchmark::State& state) {
    const std::string& page = Page(state.range(0));
    for (auto _ : state) {
        size_t tags = 0;
        for (char c : page)
            tags += c == '<';
        benchmark::DoNotOptimize(tags);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void BM_Ours(benchmark::State& state) {
    const std::string& page = Page(state.range(0));
    const std::wstring text = WidenUtf8(page);
    for (auto _ : state) {
        CHtmlParser parser;
        parser.Parse(text.c_str());
        benchmark::DoNotOptimize(parser.FindById(L"archive32bit"));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

// What the website reader pays in all: decoding the bytes, then parsing.
void BM_OursWithDecoding(benchmark::State& state) {
    const std::string& page = Page(state.range(0));
    for (auto _ : state) {
        const std::wstring text = WidenUtf8(page);
        CHtmlParser parser;
        parser.Parse(text.c_str());
        benchmark::DoNotOptimize(parser.FindById(L"archive32bit"));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void GumboParse(const std::string& page) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    benchmark::DoNotOptimize(output->root);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
}

void BM_Gumbo(benchmark::State& state) {
    const std::string& page = Page(state.range(0));
    for (auto _ : state)
        GumboParse(page);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

void BM_Lexbor(benchmark::State& state) {
    const std::string& page = Page(state.range(0));
    for (auto _ : state)
        LexborParse(page);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}

// Our tree reduced the way LexborDigest reduces lexbor's.
std::vector<std::wstring> OurDigest(const std::wstring& text) {
    CHtmlParser parser;
    parser.Parse(text.c_str());
    std::vector<std::wstring> digest;
    for (const CHtmlElement* e = parser.GetRoot(); e; e = e->NextInDocument()) {
        if (e->m_tag == L"tr" || e->m_tag == L"th" || e->m_tag == L"td" || e->m_tag == L"a") {
            const wchar_t* href = e->GetHref();
            digest.push_back(std::wstring(e->m_tag) + L"|" + (href ? href : L"") + L"|" + std::wstring(e->m_text));
        }
    }
    return digest;
}

template <class Parse>
double Seconds(Parse&& parse) {
    const auto start = std::chrono::steady_clock::now();
    parse();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One page: the parsers take turns, in an order that rotates every round so
// that none always runs on the caches another left behind; medians of the
// rounds. Returns false when the trees disagree.
bool CompareOn(int megabytes, int rounds) {
    const std::string& page = Page(megabytes);
    const std::wstring text = WidenUtf8(page);
    const std::vector<std::wstring> ours = OurDigest(text);
    const std::vector<std::wstring> lexbor = LexborDigest(page);
    if (ours != lexbor) {
        size_t i = 0;
        while (i < ours.size() && i < lexbor.size() && ours[i] == lexbor[i])
            ++i;
        std::printf("%d MB: trees differ at element %zu of %zu (ours) / %zu (lexbor)\n", megabytes, i, ours.size(),
                    lexbor.size());
        return false;
    }
    const auto parseOurs = [&text] {
        CHtmlParser parser;
        parser.Parse(text.c_str());
        benchmark::DoNotOptimize(parser.FindById(L"archive32bit"));
    };
    const auto parseOursDecoding = [&page] {
        const std::wstring decoded = WidenUtf8(page);
        CHtmlParser parser;
        parser.Parse(decoded.c_str());
        benchmark::DoNotOptimize(parser.FindById(L"archive32bit"));
    };
    std::vector<double> times[4];
    for (int round = -1; round < rounds; ++round) {
        for (int k = 0; k < 4; ++k) {
            const int which = (round + 4 + k) % 4;
            const double t = which == 0   ? Seconds(parseOurs)
                             : which == 1 ? Seconds([&page] { LexborParse(page); })
                             : which == 2 ? Seconds([&page] { GumboParse(page); })
                                          : Seconds(parseOursDecoding);
            if (round >= 0)  // the first round only warms up
                times[which].push_back(t);
        }
    }
    const double mb = static_cast<double>(page.size()) / 1e6;
    const double oursRate = mb / Median(times[0]);
    const double lexborRate = mb / Median(times[1]);
    const double gumboRate = mb / Median(times[2]);
    const double decoding = mb / Median(times[3]);
    std::printf("%5d MB %10.1f %10.1f %10.1f %12.1f %13.2f %12.2f   (%zu elements agree, %d rounds)\n", megabytes,
                oursRate, lexborRate, gumboRate, decoding, oursRate / lexborRate, oursRate / gumboRate, ours.size(),
                rounds);
    return true;
}

// The interleaved comparison; false when any page's trees disagree.
bool Compare() {
    std::printf("%8s %10s %10s %10s %12s %13s %12s\n", "page", "ours MB/s", "lexbor", "gumbo", "ours+decode",
                "ours/lexbor", "ours/gumbo");
    bool agree = CompareOn(1, 41);
    agree = CompareOn(20, 7) && agree;
    std::fflush(stdout);
    return agree;
}

std::wstring Hostile(int kind, size_t units) {
    const wchar_t* pieces[] = {L"<div>", L" a=1", L"text ", L"&#x4", L"</x><i>"};
    const wchar_t* prefix[] = {L"", L"<html><p", L"<html><p>", L"<html><p>a&", L""};
    std::wstring page = prefix[kind];
    const std::wstring piece = pieces[kind];
    while (page.size() < units)
        page += piece;
    return page;
}

// range(0): 0 nesting, 1 attributes, 2 text, 3 unterminated reference, 4
// roots replaced; range(1): size in millions of code units.
void BM_Hostile(benchmark::State& state) {
    const std::wstring text = Hostile(static_cast<int>(state.range(0)), static_cast<size_t>(state.range(1)) * 1000000);
    for (auto _ : state) {
        CHtmlParser parser;
        parser.Parse(text.c_str());
        benchmark::DoNotOptimize(parser.GetRoot());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK(BM_ByteScan)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ours)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5);
BENCHMARK(BM_OursWithDecoding)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5);
BENCHMARK(BM_Lexbor)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5);
BENCHMARK(BM_Gumbo)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5);
BENCHMARK(BM_Hostile)->ArgsProduct({{0, 1, 2, 3, 4}, {2, 20}})->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5);

namespace {

// Removes `flag` from the arguments; whether it was there.
bool TakeFlag(int& argc, char** argv, const char* flag) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], flag) == 0) {
            for (int j = i; j + 1 < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            return true;
        }
    }
    return false;
}

}  // namespace

// --warm-heap: freed memory stays with the process, so after the warm-up a
// run measures the parsers' own work instead of the kernel's cost of
// handing out fresh pages (which dominates large pages on virtual machines).
// --compare-only: the interleaved comparison and nothing else; with a
// --benchmark_filter, only the filtered cases run, without the comparison.
// Fails when our tree and lexbor's disagree.
int main(int argc, char** argv) {
    if (TakeFlag(argc, argv, "--warm-heap")) {
        mallopt(M_MMAP_THRESHOLD, 1 << 30);
        mallopt(M_TRIM_THRESHOLD, -1);
    }
    const bool compareOnly = TakeFlag(argc, argv, "--compare-only");
    bool filtered = false;
    for (int i = 1; i < argc; ++i)
        filtered = filtered || std::strncmp(argv[i], "--benchmark_filter", 18) == 0;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!filtered && !Compare())
        return 1;
    if (!compareOnly)
        benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
