#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

namespace qova {

// What failed, in words the operator can act on. Every library reports a failure this way,
// so a window shows any of them with the same call and never has to know which library
// spoke or how it words its parts.
struct Problem {
    QString what; // what failed, naming the thing: "The history at /srv/h.db cannot be opened"
    QString why;  // the reason, when one is known: the system's, the database's or the file's words
    QString fix;  // where the operator changes it, when the library knows: "Choose another in FILE > COMM."

    // "what: why fix", leaving out what is empty. A problem made of one whole sentence (a
    // message the analyser's program has always shown) comes back exactly as it was given.
    QString text() const
    {
        QString text = what;
        if (!why.isEmpty())
            text += text.isEmpty() ? why : QStringLiteral(": ") + why;
        if (!fix.isEmpty())
            text += text.isEmpty() ? fix : QLatin1Char(' ') + fix;
        return text;
    }
    bool operator==(const Problem &) const = default;
};

// A value, or the problem that kept it from being made. It has no conversion to bool: the
// shapes it replaced read true both for "failed" and for "worked", so every test of it says
// which it means (`ok()`).
template <class T> class [[nodiscard]] Result {
    static_assert(!std::is_same_v<std::remove_cvref_t<T>, Problem>, "a Problem is not a value");

public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Problem problem) : state_(std::in_place_index<1>, std::move(problem)) {}

    bool ok() const { return state_.index() == 0; }

    // Only when ok(): asked of a problem, the program stops and says which, rather than read
    // a value that is not there.
    const T &value() const &
    {
        mustHold();
        return *std::get_if<0>(&state_);
    }
    T &value() &
    {
        mustHold();
        return *std::get_if<0>(&state_);
    }
    T &&value() &&
    {
        mustHold();
        return std::move(*std::get_if<0>(&state_));
    }
    const T *operator->() const { return &value(); }
    T *operator->() { return &value(); }
    const T &operator*() const & { return value(); }
    T &operator*() & { return value(); }

    T valueOr(T fallback) const & { return ok() ? value() : std::move(fallback); }

    // Only when !ok().
    const Problem &problem() const
    {
        if (ok())
            qFatal("the problem of a success was read");
        return *std::get_if<1>(&state_);
    }

private:
    void mustHold() const
    {
        if (!ok())
            qFatal("a value was read from a failure: %s", qPrintable(std::get_if<1>(&state_)->text()));
    }

    std::variant<T, Problem> state_;
};

// Something done that gives nothing back but may fail.
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Problem problem) : problem_(std::move(problem)) {}

    bool ok() const { return !problem_.has_value(); }
    // Only when !ok().
    const Problem &problem() const
    {
        if (ok())
            qFatal("the problem of a success was read");
        return *problem_;
    }

private:
    std::optional<Problem> problem_;
};

using Done = Result<void>;

} // namespace qova
