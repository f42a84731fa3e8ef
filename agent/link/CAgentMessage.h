#pragma once

#include "AgentMessageHeader.h"

#include <QByteArray>
#include <QExplicitlySharedDataPointer>
#include <QSharedData>
#include <QString>

#include <map>

enum AgentFieldKind
{
    FieldInt = 0,     // qint32 (also every flag and boolean): decimal number
    FieldDouble = 1,  // double: decimal number
    FieldBytes = 2,   // QByteArray: RAW(count,bytes)
    FieldString = 3,  // QString: RAW(count,UTF-8 bytes)
};

// One member of a message exposed under a body key.
struct AgentFieldBinder
{
    void* member = nullptr;
    AgentFieldKind kind = FieldInt;
};

// Base of every agent-link message. A message is made by its class's constructor
// (outgoing) or by decodeAgentMessage (incoming) and then only read; it is shared by
// reference count and has no lock. The binders point into the object itself, so a
// message is never copied.
class CAgentMessage : public QSharedData
{
public:
    explicit CAgentMessage(int type, int id = -1);
    explicit CAgentMessage(const AgentMessageHeader& header);
    CAgentMessage(const CAgentMessage&) = delete;
    CAgentMessage& operator=(const CAgentMessage&) = delete;

    virtual bool isValid() const;
    virtual QString errorString() const;
    virtual ~CAgentMessage();

    void init(int type, int id = -1);
    int id() const { return m_header.id; }
    int type() const { return m_header.type; }
    const AgentMessageHeader& header() const { return m_header; }

    // Writes header and body into buffer. 0: done, size = bytes written; -1: buffer too
    // small for the body; 1: buffer smaller than 13 bytes; 2: header write failed.
    int serialize(char* buffer, int& size);
    // The whole frame in a new array (sized exactly).
    QByteArray toFrame();
    // Number of body bytes serialize would write.
    qint64 bodyLength();

    // Fills the members from a body; a malformed body sets the error text.
    void parseBody(const char* body, int length, bool flag);

protected:
    // Registers every member under its body key (each class has its own).
    virtual void bindFields();
    // Turns raw members into structured data after a parse.
    virtual void readRawData(bool flag);

    void bindInt(const char* key, qint32* member);
    void bindDouble(const char* key, double* member);
    void bindBytes(const char* key, QByteArray* member);
    void bindString(const char* key, QString* member);
    void setError(const QString& text) { m_error = text; }

private:
    void ensureBound();
    void bind(const char* key, void* member, AgentFieldKind kind);
    // Appends the chunk of one binder ("," key "=" value) to out.
    static void appendChunk(QByteArray& out, bool first, const QByteArray& key, const AgentFieldBinder& b);

    std::map<QByteArray, AgentFieldBinder> m_binders;  // ordered by key bytes
    bool m_fieldsBound = false;
    AgentMessageHeader m_header;
    QString m_error;
};

using CAgentMessagePtr = QExplicitlySharedDataPointer<CAgentMessage>;
