#pragma once

#include <cstdint>
#include <string>

#include "search/PageWindow.h"
#include "search/ResultRecord.h"
#include "search/SearchSession.h"

namespace qx::test {

// Reports a matching page to the session as a worker does; the Hot Track
// list shows it with its next batch.
inline void SendMatch(SearchSession& session, const std::string& title, const std::string& url,
                      const std::string& description) {
    ResultRecord record;
    record.title = title;
    record.url = url;
    record.description = description;
    session.HandleMessage(WM_SEARCH_RESULT, kResultMatch, reinterpret_cast<std::intptr_t>(&record));
}

}  // namespace qx::test
