#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>

class TarnexController;

// The question that follows the removal of a phone whose archive (its files
// mirror with the dated backups) is still on this computer: keep the archive
// where it is, move it into a chosen folder under a free name, or move it to
// the trash. The archive is touched only after that answer.
class HistoryPhoneSheet {
public:
    enum class Answer { Keep, MoveTo, MoveToTrash };
    static constexpr const char* kTitle = "HistoryPhoneTitle";
    static constexpr const char* kMessage = "HistoryPhoneMsg";
    static constexpr const char* kKeep = "HistoryPhoneKeep";
    static constexpr const char* kMoveTo = "HistoryPhoneMoveTo";
    static constexpr const char* kMoveToTrash = "HistoryPhoneMoveToTrash";
    static constexpr const char* kMoveFailed = "HistoryPhoneMoveFailed";
    static constexpr const char* kChooseFolder = "HistoryPhoneChooseFolder";

    // The archive folder of a device-list entry when it holds history;
    // empty otherwise.
    static QString archiveOf(const QVariantMap& entry);
    // Carries out an answer (folder: the one chosen for MoveTo; empty there
    // means the choice was cancelled and nothing moves). Answers whether the
    // archive was moved.
    static bool apply(Answer answer, const QString& archive, const QString& folder);
    // The alert return code of the sheet as an answer.
    static Answer answerOf(int returnCode);
    // Asks on the main window's alert sheet, then applies the answer: a move
    // runs on a worker thread under the main window's busy overlay. done (may
    // be empty) gets the answer and whether the archive moved, on the main
    // thread once the move is over.
    static void ask(TarnexController& host, const QString& archive, const QString& phoneName,
                    std::function<void(Answer, bool)> done = {});
    // How "Move to…" chooses its folder (a folder dialog unless set).
    static void setFolderChooser(std::function<QString()> chooser);
};
