// The run view's table: one row per step of the sequence file, with its latest verdict (and the
// pass of its repeat), when it ended and what it found; the step in progress is marked.
#pragma once

#include <QAbstractTableModel>

#include <vector>

struct Sequence;
struct StepResult;

class RunStepModel : public QAbstractTableModel {
public:
    enum Column { LINE, STEP, VERDICT, TIME, DETAIL, COLUMNS };

    explicit RunStepModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Shows the steps of a sequence (which must outlive its use here), none judged yet.
    void setSequence(const Sequence *sequence);
    // Forgets the verdicts.
    void clearResults();
    // Marks the step in progress (-1: none).
    void setCurrent(int index);
    // Takes a step's result into its row.
    void setResult(const StepResult *result);

private:
    struct Row {
        int verdict = 0;
        QString iteration, time, detail, exchanges;
    };
    const Sequence *m_sequence = nullptr;
    std::vector<Row> m_rows;
    int m_current = -1;
};
