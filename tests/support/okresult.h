#pragma once

#include "result/result.h"

#include <gtest/gtest.h>

namespace qova::test {

// For ASSERT_TRUE(Ok(db.open(url))): a failure says the problem's text.
template <class T> testing::AssertionResult Ok(const Result<T> &result)
{
    if (result.ok())
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << result.problem().text().toStdString();
}

// What the operator would be told: empty when it went well.
template <class T> QString Said(const Result<T> &result)
{
    return result.ok() ? QString() : result.problem().text();
}

} // namespace qova::test
