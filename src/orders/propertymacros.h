#pragma once

// Property helpers for the order classes. Every property X has a change
// signal XChanged carrying the new value, emitted only on a real change, and
// a set_X that reports whether the value changed. Writable properties expose
// set_X as a slot; read-only ones keep it as a plain member so the program's
// own code (pricing, posting) can still update them.

#define LTA_PROPERTY_SETTER(type, name)                                                            \
    bool set_##name(const type &value)                                                             \
    {                                                                                              \
        if (m_##name == value)                                                                     \
            return false;                                                                          \
        m_##name = value;                                                                          \
        emit name##Changed(m_##name);                                                              \
        return true;                                                                               \
    }

#define LTA_PROPERTY_TAIL(type, name)                                                              \
Q_SIGNALS:                                                                                         \
    void name##Changed(type name);                                                                 \
                                                                                                   \
private:                                                                                           \
    type m_##name{};

#define LTA_RW_PROPERTY(type, name)                                                                \
    Q_PROPERTY(type name READ name WRITE set_##name NOTIFY name##Changed)                          \
public:                                                                                            \
    type name() const { return m_##name; }                                                         \
public Q_SLOTS:                                                                                    \
    LTA_PROPERTY_SETTER(type, name)                                                                \
    LTA_PROPERTY_TAIL(type, name)

#define LTA_RO_PROPERTY(type, name)                                                                \
    Q_PROPERTY(type name READ name NOTIFY name##Changed)                                           \
public:                                                                                            \
    type name() const { return m_##name; }                                                         \
    LTA_PROPERTY_SETTER(type, name)                                                                \
    LTA_PROPERTY_TAIL(type, name)

// A read-only value without a change signal (set by item processing and read
// when the item is shown again).
#define LTA_PLAIN_PROPERTY(type, name)                                                             \
    Q_PROPERTY(type name READ name)                                                                \
public:                                                                                            \
    type name() const { return m_##name; }                                                         \
    void set_##name(const type &value) { m_##name = value; }                                       \
                                                                                                   \
private:                                                                                           \
    type m_##name{};
