#pragma once

#include <cstdlib>

#include <QXmlStreamReader>

#include "report/Report.h"

// Whatever a report is made of, it must be well-formed.
inline void AbortUnlessWellFormed(const quorval::ReportData& report) {
    QXmlStreamReader xml(quorval::ReportXhtml(report));
    while (!xml.atEnd()) {
        xml.readNext();
    }
    if (xml.hasError()) {
        std::abort();
    }
}
