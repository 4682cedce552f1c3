#pragma once

#include <QImage>
#include <QStringList>
#include <QWidget>

// The list of pane names beside the wizard: earlier rows marked done, the
// current one selected, later ones not yet processed.
class AKListView : public QWidget {
public:
    static constexpr int kRowHeight = 19;

    explicit AKListView(QWidget* parent = nullptr);

    void addPaneName(const QString& name);
    void setCurrentPaneIndex(int index);
    int currentPaneIndex() const { return m_currentPaneIndex; }
    const QStringList& paneNames() const { return m_names; }

    // The image name row i shows: "selected", "unselected" or "unprocessed".
    QString imageNameForRow(int row) const;
    // How many rows fit in the current height.
    int visibleRowCount() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_currentPaneIndex = 0;
    QStringList m_names;
    QImage m_unselected;
    QImage m_unprocessed;
    QImage m_selected;
};
