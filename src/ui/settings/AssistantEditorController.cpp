#include "ui/settings/AssistantEditorController.h"

#include "store/ListModels.h"
#include "store/StoreOperations.h"
#include "ui/common/RowLabelsModel.h"
#include "ui/settings/AssistantFormValidation.h"

AssistantEditorController::AssistantEditorController(StoreContext& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_list(new AssistantListModel(store, this))
    , m_rows(new RowLabelsModel(m_list, tr("Unknown"), RowLabelsModel::IntroSubtitle, this))
{
    // Renames re-sort the list and deletions take rows out under the selection.
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_list, signal, this, &AssistantEditorController::refreshSelection);
    connect(m_list, &QAbstractItemModel::rowsMoved, this, &AssistantEditorController::refreshSelection);
    connect(m_list, &QAbstractItemModel::modelReset, this, &AssistantEditorController::refreshSelection);
}

AssistantEditorController::~AssistantEditorController() = default;

QAbstractItemModel* AssistantEditorController::assistants() const { return m_rows; }

QString AssistantEditorController::selectedName() const
{
    const AssistantPtr assistant = m_list->recordAt(m_selectedRow);
    return assistant ? assistant->name().value_or(QString()) : QString();
}

QString AssistantEditorController::selectedPersonality() const
{
    const AssistantPtr assistant = m_list->recordAt(m_selectedRow);
    return assistant ? assistant->personality().value_or(QString()) : QString();
}

QString AssistantEditorController::selectedPictureUrl() const
{
    const AssistantPtr assistant = m_list->recordAt(m_selectedRow);
    return assistant && assistant->profilePictureUrl() ? assistant->profilePictureUrl()->toString() : QString();
}

void AssistantEditorController::select(int row)
{
    const AssistantPtr assistant = m_list->recordAt(row);
    const std::optional<qint64> key = assistant ? std::optional(assistant->primaryKey()) : std::nullopt;
    if (key == m_selectedKey && (!key || m_selectedRow >= 0))
        return;
    m_selectedKey = key;
    m_selectedRow = assistant ? row : -1;
    Q_EMIT selectedRowChanged();
    Q_EMIT selectedAssistantChanged();
}

void AssistantEditorController::selectAdjacent(int step)
{
    const int row = m_selectedRow < 0 ? 0 : m_selectedRow + step;
    if (row >= 0 && row < m_list->rowCount())
        select(row);
}

QString AssistantEditorController::validationMessage(const QString& name, const QString& personality,
                                                     const QString& pictureUrl) const
{
    return assistantFormProblem(name, personality, pictureUrl);
}

bool AssistantEditorController::add(const QString& name, const QString& personality, const QString& pictureUrl)
{
    if (!assistantFormProblem(name, personality, pictureUrl).isEmpty())
        return false;
    createAssistant(m_store, name, personality, pictureUrl);
    return true;
}

bool AssistantEditorController::updateSelected(const QString& name, const QString& personality,
                                               const QString& pictureUrl)
{
    const AssistantPtr assistant = m_list->recordAt(m_selectedRow);
    if (!assistant || !assistantFormProblem(name, personality, pictureUrl).isEmpty())
        return false;
    assistant->setName(name);
    assistant->setPersonality(personality);
    assistant->setProfilePictureUrl(urlFromText(pictureUrl));
    saveChanges(m_store);
    return true;
}

void AssistantEditorController::deleteSelected() { deleteAt(m_selectedRow); }

void AssistantEditorController::deleteAt(int row)
{
    if (const AssistantPtr assistant = m_list->recordAt(row))
        softDeleteAssistants(m_store, {assistant});
}

void AssistantEditorController::refreshSelection()
{
    int row = -1;
    for (int i = 0; m_selectedKey && i < m_list->rowCount(); ++i) {
        if (m_list->recordAt(i)->primaryKey() == *m_selectedKey) {
            row = i;
            break;
        }
    }
    if (row == m_selectedRow)
        return;
    const bool reappeared = m_selectedRow < 0 && row >= 0;
    m_selectedRow = row;
    Q_EMIT selectedRowChanged();
    // An assistant that comes back into the list may have changed meanwhile.
    if (reappeared)
        Q_EMIT selectedAssistantChanged();
}
