#pragma once

#include <QString>

#include <exception>

namespace tarnwick {

// A failed step: an error number and its description, as the product's own
// error reports show them. Stand-ins and helpers throw this one type; routines
// catch it through StepRunner and report it in their own words.
class Failure : public std::exception
{
public:
    Failure(int number, QString description)
        : m_number(number), m_description(std::move(description))
    {
    }

    int number() const noexcept { return m_number; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return "tarnwick::Failure"; }

private:
    int m_number;
    QString m_description;
};

// Error numbers the routines raise themselves; database errors carry the
// driver's text under DatabaseError.
namespace ErrorNumber {
inline constexpr int InvalidUseOfNull = 94;
inline constexpr int Overflow = 6;
inline constexpr int FileNotFound = 53;
inline constexpr int PathNotFound = 76;
inline constexpr int PathFileAccess = 75;
inline constexpr int DiskFull = 61;
inline constexpr int DeviceIOError = 57;
inline constexpr int TooManyFiles = 67;
inline constexpr int PermissionDenied = 70;
inline constexpr int BadFileMode = 54;
inline constexpr int InvalidProcedureCall = 5;
inline constexpr int UnsupportedRegistryType = 1001;
inline constexpr int ItemNotFound = 3265;
inline constexpr int NoCurrentRecord = 3021;
inline constexpr int ObjectClosed = 3704;
inline constexpr int DatabaseError = -2147467259;
} // namespace ErrorNumber

// The shapes in which routines word a failure; `owner` is for example
// "Form frmMain" or "Module Module1".
namespace ErrorText {
// "(error):" + number + " (" + description + ") in procedure " + procedure + " of " + owner
QString inProcedure(const Failure& f, const QString& procedure, const QString& owner);
// "Error " + number + " (" + description + ") in procedure " + procedure + " of " + owner
QString errorInProcedure(const Failure& f, const QString& procedure, const QString& owner);
// "(error) " + number + " (" + description + ") in procedure " + procedure + " of " + owner
QString logLine(const Failure& f, const QString& procedure, const QString& owner);
} // namespace ErrorText

} // namespace tarnwick
