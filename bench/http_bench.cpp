// HTTP response parsing throughput: an 8 MiB body by content length and as
// 16 KiB chunks, fed in 64 KiB blocks as the client receives them and
// appended to a string as the client does with its stream.
//   bench_http [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "updater/HttpResponse.h"

namespace {

constexpr size_t kBodySize = 8 << 20;
constexpr size_t kBlock = 64 << 10;

std::string LengthResponse() {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBodySize) + "\r\n\r\n" +
         std::string(kBodySize, 'x');
}

std::string ChunkedResponse() {
  std::string response = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const size_t chunk = 16 << 10;
  char size[32];
  std::snprintf(size, sizeof size, "%zx\r\n", chunk);
  for (size_t done = 0; done < kBodySize; done += chunk) {
    response += size + std::string(chunk, 'x') + "\r\n";
  }
  return response + "0\r\n\r\n";
}

void Parse(benchmark::State& state, const std::string& response) {
  std::string body;  // the client appends each block to the caller's stream
  body.reserve(kBodySize);
  for (auto _ : state) {
    body.clear();
    vexmoor::THttpResponseParser parser(
        [&body](const char* data, size_t size) { body.append(data, size); });
    for (size_t at = 0; at < response.size(); at += kBlock) {
      parser.Feed(response.data() + at, std::min(kBlock, response.size() - at));
    }
    benchmark::DoNotOptimize(body.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBodySize));
}

void ByLength(benchmark::State& state) { Parse(state, LengthResponse()); }
void Chunked(benchmark::State& state) { Parse(state, ChunkedResponse()); }

BENCHMARK(ByLength);
BENCHMARK(Chunked);

}  // namespace

BENCHMARK_MAIN();
