#pragma once

#include <QAbstractItemModel>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <optional>

class AssistantListModel;
class RowLabelsModel;
class StoreContext;

// The assistants tab of the settings window: the live list in name order, the
// selected assistant, and adding, updating and soft-deleting. The forms'
// validation is decided here; the views only bind.
class AssistantEditorController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The settings window gives its editor the store")
    Q_PROPERTY(QAbstractItemModel* assistants READ assistants CONSTANT)
    // -1 while nothing is selected or the selected assistant left the list.
    Q_PROPERTY(int selectedRow READ selectedRow NOTIFY selectedRowChanged)
    Q_PROPERTY(QString selectedName READ selectedName NOTIFY selectedAssistantChanged)
    Q_PROPERTY(QString selectedPersonality READ selectedPersonality NOTIFY selectedAssistantChanged)
    Q_PROPERTY(QString selectedPictureUrl READ selectedPictureUrl NOTIFY selectedAssistantChanged)
public:
    explicit AssistantEditorController(StoreContext& store, QObject* parent = nullptr);
    ~AssistantEditorController() override;

    QAbstractItemModel* assistants() const;
    int selectedRow() const { return m_selectedRow; }
    QString selectedName() const;
    QString selectedPersonality() const;
    QString selectedPictureUrl() const;

    // A row outside the list clears the selection (the add form).
    Q_INVOKABLE void select(int row);
    Q_INVOKABLE void selectAdjacent(int step);
    // Empty text when the form may be submitted.
    Q_INVOKABLE QString validationMessage(const QString& name, const QString& personality,
                                          const QString& pictureUrl) const;
    // Both refuse an invalid form and answer whether anything was written.
    Q_INVOKABLE bool add(const QString& name, const QString& personality, const QString& pictureUrl);
    Q_INVOKABLE bool updateSelected(const QString& name, const QString& personality, const QString& pictureUrl);
    Q_INVOKABLE void deleteSelected();
    Q_INVOKABLE void deleteAt(int row);

Q_SIGNALS:
    void selectedRowChanged();
    // Another assistant is shown: the update form fills itself afresh.
    void selectedAssistantChanged();

private:
    void refreshSelection();

    StoreContext& m_store;
    AssistantListModel* m_list;
    RowLabelsModel* m_rows;
    // Records are known by their primary key, which every record has (a
    // catalogue entry may lack an id).
    std::optional<qint64> m_selectedKey;
    int m_selectedRow = -1;
};
