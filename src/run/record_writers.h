#pragma once

// The writers of a run's records, each on top of the tallies: a table for the
// reader (--summary), JSON Lines for a program (--json), a JUnit report for a
// CI server (--junit).

#include "platform/output_file.h"
#include "run/exchange_record.h"

#include <QString>
#include <map>

namespace tallowick {

// The --summary table: per command line and in total, the count of each
// result and the response times in ms.
QString summaryTable(const ExchangeStats &stats);

class SummaryWriter : public RecordSink
{
public:
    explicit SummaryWriter(OutputFile &out) : m_out(out) {}
    void record(const ExchangeRecord &) override {}
    void finish(const ExchangeStats &stats) override;

private:
    OutputFile &m_out;
};

// One JSON object a line.
QByteArray jsonRecordLine(const ExchangeRecord &record);
QByteArray jsonSummaryLine(const ExchangeStats &stats);

class JsonLinesWriter : public RecordSink
{
public:
    // The file stays the caller's.
    explicit JsonLinesWriter(OutputFile &out) : m_out(out) {}
    void record(const ExchangeRecord &record) override;
    void finish(const ExchangeStats &stats) override;

private:
    OutputFile &m_out;
};

// One test suite, one test case per command line run; a failure where any of
// its exchanges failed, with the counts and its first failing exchange.
class JUnitReport : public RecordSink
{
public:
    JUnitReport(const QString &path, const QString &suiteName);
    void record(const ExchangeRecord &record) override;
    void finish(const ExchangeStats &stats) override;
    // The report as it would be written now.
    QByteArray xml(const ExchangeStats &stats) const;
    // Set when the report could not be written.
    QString error() const { return m_error; }

private:
    QString m_path;
    QString m_suite;
    std::map<int, ExchangeRecord> m_firstFailure; // by line
    QString m_error;
};

} // namespace tallowick
