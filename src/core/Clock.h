// Where "now" comes from. The program reads time only through an IClock so that
// every time rule can be tested at a chosen instant.
#pragma once
#include "core/DateTime.h"

namespace sf {

class IClock {
public:
    virtual ~IClock() = default;
    /// The current time in UTC, milliseconds included.
    virtual TDateTime UTCNow() const = 0;
    /// The current local time.
    virtual TDateTime LocalNow() const = 0;
    /// Local now − UTC now, signed (days).
    TDateTime LocalOffset() const { return LocalNow() - UTCNow(); }
};

/// The machine's clock and time zone.
class TSystemClock final : public IClock {
public:
    TDateTime UTCNow() const override;
    TDateTime LocalNow() const override;
};

/// A clock the tests set and step. Local time = UTC + Offset. With AutoStep > 0 every
/// reading advances the clock by that many days (so busy-waits end under test).
class TFakeClock final : public IClock {
public:
    explicit TFakeClock(TDateTime utc = 0, TDateTime offset = 0) : m_utc(utc), m_offset(offset) {}
    TDateTime UTCNow() const override { return Tick(); }
    TDateTime LocalNow() const override { return Tick() + m_offset; }
    void Set(TDateTime utc) { m_utc = utc; }
    void Step(TDateTime days) { m_utc += days; }
    void SetOffset(TDateTime offset) { m_offset = offset; }
    double AutoStep = 0;

private:
    TDateTime Tick() const { TDateTime t = m_utc; m_utc += AutoStep; return t; }
    mutable TDateTime m_utc;
    TDateTime m_offset;
};

} // namespace sf
