#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTableView>
#include <QPointer>
#include <QStringList>
#include <QVariantList>
#include <QSize>
#include <QWidget>

class QSortFilterProxyModel;

// The models of the compatible-devices list: manufacturer (with the model's
// picture, scaled when first shown), model, USB mark, SMS marks.
class CompatibleDevicesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Manufacturer, Model, USB, FullSMS, ColumnCount };
    static constexpr QSize kPictureSize{48, 48};

    explicit CompatibleDevicesModel(QVariantList rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The column's text for the row ("manufacturer", "model", "USB", "fullSMS").
    QString objectValue(const QString& column, int row) const;
    static QString columnIdentifier(int column);
    QVariantMap rowAt(int row) const { return rows_.value(row).toMap(); }
    int picturesMade() const { return int(pictures_.size()); }

private:
    QVariantList rows_;
    QStringList usbMarks_;
    QStringList smsMarks_;
    mutable QHash<QString, QImage> pictures_;
};

// The list of every phone model this edition supports, with an HTML export
// (form "CompatibleDevices").
class CompatibleDevices : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kWindowNibName = "CompatibleDevices";
    static constexpr QSize kInitialSize{620, 420};
    static constexpr const char* kSaveName = "DeviceListTarnexSync";
    static constexpr const char* kDumpFile = "Marvesto-DeviceData.plist";
    static constexpr const char* kFilesFolder = "%@-Files";
    static constexpr const char* kAppIconFile = "DevAppIcon.jpg";
    static constexpr int kJpegQuality = 90;

    explicit CompatibleDevices(QWidget* parent = nullptr);
    // The window, made on first use and brought to the front.
    static CompatibleDevices* showCompatibleDevices();

    // Every row of the database for this edition, sorted by name.
    static QVariantList allDevices();
    const QVariantList& devices() const { return allDevices_; }
    void windowDidLoad();

    // Only "saveDocumentAs:" is offered.
    static bool validateMenuItem(const QString& action) { return action == QLatin1String("saveDocumentAs:"); }
    // The save dialog on the window; its end runs the export.
    void saveDocumentAs();
    // Writes the page and its pictures; false (and the message shown) when
    // anything could not be written; the page is then untouched.
    bool exportHTML(const QString& path, QString* error = nullptr);
    QMessageBox* failureMessage() const { return failureMessage_; }

    void dumpData();
    bool saveToFile(const QString& path) const;
    static QString dumpPath();

    // The template with every "(ARGn)" replaced by the text.
    static QString argumentString(const QString& templ, int argNum, const QString& replaceStr);
    // All "(ARGn)" in one pass: an inserted value is never searched again.
    static QString fillArguments(const QString& templ, const QStringList& values);
    static QString htmlEscaped(const QString& text);
    // A picture's file name from an identification: letters, digits, ".",
    // "_", "+" and "-" kept, everything else "_", never hidden or empty.
    static QString sanitizedFileName(const QString& name);

    QLabel* headline() const { return headline_; }
    QLabel* footer() const { return footer_; }
    QTableView* list() const { return list_; }
    CompatibleDevicesModel* model() const { return model_; }
    QSortFilterProxyModel* sortedModel() const { return sorted_; }
    QString headerTemplate() const;
    QString entryTemplate() const;

private:
    QWidget* form_ = nullptr;
    QPointer<QLabel> headline_;
    QPointer<QLabel> footer_;
    QPointer<QTableView> list_;
    QPointer<QPlainTextEdit> headerTmpl_;
    QPointer<QPlainTextEdit> entryTmpl_;
    QPointer<QMessageBox> failureMessage_;
    QVariantList allDevices_;
    CompatibleDevicesModel* model_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr;
};
