#pragma once

#include "store/storegraph.h"
#include "ui/sharedstate.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QDialog>
#include <QStyledItemDelegate>
#include <array>

class QCheckBox;
class QFrame;
class QLabel;
class QListView;
class QPainter;
class QPushButton;

namespace qova::store {

// The list of a loaded data file: one row per whole record, formatted when the view asks
// for it, so a file of millions of records opens at once.
class StoreListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    // Rows are dated in `currentYear`, the workstation's year at the load.
    void setRecords(const QByteArray &data, int recordCount, int currentYear);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QByteArray data_;
    int count_ = 0;
    int year_ = 2000;
};

// Rows of 14 pixels, the text 2 pixels in from the left and centred in its row.
class StoreRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int kRowHeight = 14;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// The store viewer: a graph of the seven series over all records of the loaded data
// file, and a list with a row per record.
class TForm11 : public QDialog {
    Q_OBJECT
public:
    explicit TForm11(ui::SharedState &state, QWidget *parent = nullptr);

    // Fills the header and the list from the state's loaded data, dated in `currentYear`.
    void showRecords(int currentYear);

    QListView *ListBox1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QFrame *Panel1 = nullptr;
    std::array<QCheckBox *, 7> CheckBoxes{};

    int GraphBaseline = 0;
    int GraphLeft = 0;
    float GraphXStep = 0;
    float GraphYScale = 0;

    StoreListModel *model() const { return model_; }

    void Button1Click();
    void Button2Click();
    void CheckBox1Click();
    void DrawStoreGraph(QPainter &painter);

public slots:
    void setVisible(bool visible) override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutControls();

    ui::SharedState &state_;
    StoreListModel *model_ = nullptr;
};

} // namespace qova::store
