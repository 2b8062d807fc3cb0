#pragma once

#include "tests/history/pgcluster.h"

#include <gtest/gtest.h>

// Sets `url` (a QString declared before) to a new database on the shared server, or ends the
// case as NewCaseDatabase says.
#define NEW_CASE_DATABASE_OR_END(url)                                                                                  \
    do {                                                                                                               \
        const qova::test::CaseDatabase made_ = qova::test::NewCaseDatabase();                                          \
        if (!made_.failure.isEmpty())                                                                                  \
            FAIL() << made_.failure.toStdString();                                                                     \
        if (!made_.skip.isEmpty())                                                                                     \
            GTEST_SKIP() << made_.skip.toStdString();                                                                  \
        (url) = made_.url;                                                                                             \
    } while (0)
