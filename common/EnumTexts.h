#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QTime>

// Fixed text tables of the configuration model and the converters between enumeration
// values, their one-character stored codes and their texts. Tables are built once and are
// read-only; converters are pure except nextSequenceNumber (own mutex). Converters that
// refuse a value throw std::runtime_error with a fixed text.

const QMap<int, QString>& monitorStatusNames();   // -1 "", 0 "Down" ... 7 "Discovered"
const QMap<int, QString>& deviceCategoryNames();
const QMap<int, QString>& monitorGroupNames();
const QMap<int, QString>& onlineStateNames();
const QMap<int, QString>& protocolFlagNames();
const QMap<int, QString>& resourceFlagNames();
QString monitorStatusName(int status);   // empty for an absent key
QString onlineStateName(int state);      // empty for an absent key
QString monitorGroupName(int group);     // empty for an absent key

const QList<int>& statusValues();        // 0..7
QString statusNameByIndex(int index);    // "Stopped By Dependency" spelling; above 7 "Unknown"

extern const char* const kDateTimeFormat;   // "dd.MM.yyyy.hh.mm.ss"
extern const char* const kDbFileToRestore;  // "DbFileToRestore"
QString dateTimeToText(const QDateTime& dt);
QDateTime dateTimeFromText(const QString& text);

extern const char* const kBuildCommit;   // nine hexadecimal digits

int enumToStoredInt(int value);
int enumFromStoredInt(int value);
int monitorEventFromInt(int value);          // -2..4, else throws "bad monitor event"
int enumFromIndex4(int value);               // 1..4, else 0
int enumFromIndex3(int value);               // 0..2, else -1
int eightValueGuard(int value);              // 0..7, else 3
int monitorCategoryFromInt(int value);       // 0..8, else throws "bad monitor category"

int categoryFromText(const QString& text);   // unknown texts (and "Web Servers") give 6
int categoryGuard(int value);                // 0..9, else 6
QString categoryToText(int category);        // empty outside 0..9
bool categoryTextIsDevice(const QString& text);

char settingKindFromCode(char code);         // 27 codes, else throws "bad setting kind"
char settingKindNarrowCheck(char code);      // 18 codes, else throws "bad setting kind"
char settingKindFromText(const QString& text, char fallback);
QString settingKindToText(char code);        // the code, "_" outside the 27 codes

char objectKindFromText(const QString& text);   // 'H' 'T' 'c' 'm' 't', else throws "bad object kind"
int objectKindGuard(int value);                 // 0..10, else throws "bad object kind"
QString objectKindToText(char kind);            // 'H' 'T' 'c' 't' as themselves, else "m"
int objectKindToIndex(char kind);               // m0 t1 c2 H3 T4, else 13

char periodKindFromText(const QString& text);   // '1' 'w' '0', else throws "bad period kind"
QString periodKindToText(char kind);            // "0", "w", else "1"
char valueTypeFromText(const QString& text, char fallback);   // 'i' 's' 'p'
int actionProfileKind(int value);               // 0..4, else throws "bad action profile kind"
bool yesNoFromText(const QString& text, bool fallback);
QString yesNoToText(bool value);

char alertingInheritanceFromText(const QString& text);   // 'o' 'r' 'i'
QString alertingInheritanceToText(char kind);
char monitorCreatedTypeFromText(const QString& text);     // 'r' 'u' 'd'
QString monitorCreatedTypeToText(char kind);
int selectIfFromText(const QString& text);                // m0 a1 M2 s3
QString selectIfToText(int value);
int createNotFoundFromText(const QString& text);          // n0 e1 a2
QString createNotFoundToText(int value);

char psFlagFromText(const QString& text);   // 'P', anything else 'S'
QString psFlagToText(char flag);            // "P", anything else "S"

QString subjectKindToText(int kind);     // "invalid" outside 0..12
QString statusToShortText(int status);   // "Unknown" outside 0..2
QString creationWayToText(int way);      // "by unknown means" outside 0..3
QString networkName(int number);         // "Network_%1"
bool isPluginLibraryFile(const QString& path);
int guard77(int value);                  // 0..76 except a few, else 40
int nextSequenceNumber();                // 1, 2, ... kept to 31 bits

// Keeps value within [0, max], else gives other.
int indexGuard(int value, int max, int other);
int zeroOneElseTwo(int value);
// Stored order 0..7 onto 0, 0, 0, 0, 1, 2, 3, 4 (else 1).
int storedOrderToLevel(int value);
// Stored order 0..2 onto 2, 1, 0 (else -1).
int reversedOrder3(int value);
// Group 0: index -1..2 onto 3, 2, 1, 0 (else 3); groups 1..4: 4, 5, 6, 7; other groups 3.
int groupIndexToLevel(int group, int index);

struct SDaySchedule
{
    int kind = 0;   // 0 "Daily", 1 "AtDay", 2 "AtWeekDay"
    int day = 0;
    QTime time = QTime(4, 5);
};
SDaySchedule dayScheduleFromText(const QString& text);
QString dayScheduleToText(const SDaySchedule& schedule);
