// `dravelkint validate --json`: the report as one JSON document at the end.
#pragma once

#include <cstdio>

#include "host/validate/report.h"

namespace vsthost {

class JsonReport : public validate::ReportForm {
public:
    explicit JsonReport(std::FILE* out) : out(out) {}
    void begin(const validate::ReportHeading&) override {}
    void check(const validate::CheckResult&) override {}
    void end(const validate::Report& report) override;

private:
    std::FILE* out;
};

}  // namespace vsthost
