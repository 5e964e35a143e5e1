#pragma once
#include "persistence/Draft.h"

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <memory>

class FM;

// Keeps a draft of the document window on disk while it holds unsaved
// changes. A timer looks at the window a few times a second; when something
// changed since the last draft (a field, the text in the open editor, a check
// box, the drawing, the floating picture or text), the window is copied on
// the GUI thread (cheap: the page image is shared, not copied) and the page
// is encoded and written on a worker thread. At most one write runs at a
// time; a change made meanwhile is written as soon as it ends.
//
// The draft goes when the window no longer holds unsaved changes (saved, or
// typed back as it was), and when the window is closed after its question
// was answered (saved, or deliberately not).
class DraftKeeper : public QObject
{
public:
    static DraftKeeper &shared();

    // Starts watching (the program; tests that want drafts).
    void start(int intervalMs = 400);
    void stop();

    // Looks at the document window now and writes a draft when needed.
    void tick();
    // Waits for a write in progress (tests, benchmarks, before removing).
    void waitForWrite();
    // The document window's draft, if any, is removed (saved or discarded).
    void discard();
    // The next draft of window is written under id, whose lock the caller
    // hands over (a recovered draft carries on in its own file).
    void adopt(FM *window, const QString &id, std::unique_ptr<QLockFile> lock);

    // Says once that drafts cannot be kept: "下書きを保存できません: <folder>".
    // Said again only when a draft was written since.
    void reportFolderFailure();

    // The draft file of the current window, empty while there is none.
    QString currentPath() const;
    int writesDone() const { return m_writes; }

    // What a draft of window holds now; the page image stays shared with the
    // window. Public for benchmarks.
    static Draft Collect(FM &window);

private:
    DraftKeeper();
    struct Look
    {
        QStringList fields;
        QString editorTag;
        QString editorText;
        QStringList checks;
        quint64 surface = 0;
        QString number;
        bool picture = false;
        qint64 pictureKey = 0;
        QRect pictureAt;
        bool text = false;
        QString textText;
        QRect textAt;
        QString textLook;
        bool operator==(const Look &) const = default;
    };
    static Look lookAt(FM &window);
    static bool hasUnsavedChanges(FM &window);
    void follow(FM *window);
    void write(Draft draft, bool encodePage);
    void written();
    void removeFiles();

    QTimer m_timer;
    QPointer<FM> m_window;
    QString m_id;
    std::unique_ptr<QLockFile> m_lock;
    bool m_hasDraft = false;
    std::optional<Look> m_last;
    quint64 m_encodedRevision = 0;
    bool m_pageEncoded = false;
    QByteArray m_pagePng;
    QString m_stateKey;
    QString m_state;
    bool m_writing = false;
    bool m_again = false;
    int m_writes = 0;
    bool m_failureSaid = false;
};

// Installs the keeper's hooks into the document window and starts it.
void InstallDraftKeeping();
