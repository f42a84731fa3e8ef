// Syslog datagrams parsed per second on one thread, for four shapes of about 128 bytes: RFC 3164,
// RFC 5424 without structured data, with one element and with three. This bounds the syslog
// receiver's own rate.
#include "receivers/SyslogLine.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray padded(QByteArray line)
{
    while (line.size() < 128)
        line += 'x';
    return line;
}

void parseShape(benchmark::State& state, const QByteArray& datagram)
{
    const QString sender = QStringLiteral("127.0.0.1");
    for (auto _ : state) {
        SyslogLine line;
        benchmark::DoNotOptimize(line.parse(datagram, sender));
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * datagram.size());
}

} // namespace

BENCHMARK_CAPTURE(parseShape, rfc3164, padded("<34>Oct 11 22:14:15 host1 sshd[4711]: Failed password for invalid user admin from 10.1.2.3 "));
BENCHMARK_CAPTURE(parseShape, rfc5424_no_sd, padded("<165>1 2003-10-11T22:14:15.003Z host1.example app1 4711 ID47 - hello world "));
BENCHMARK_CAPTURE(parseShape, rfc5424_one_element,
                  padded("<165>1 2003-10-11T22:14:15.003Z host1 app1 4711 ID47 [exampleSDID@32473 iut=\"3\" eventID=\"1011\"] m "));
BENCHMARK_CAPTURE(parseShape, rfc5424_three_elements,
                  padded("<165>1 2003-10-11T22:14:15Z h a 1 I [a@1 x=\"1\"][b@2 y=\"2\" z=\"\\]\"][c@3 w=\"3\"] message "));

BENCHMARK_MAIN();
