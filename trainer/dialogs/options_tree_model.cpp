#include "options_tree_model.h"

#include "com/olecolor.h"
#include "res_strings.h"

#include <QMimeData>

#include <algorithm>

namespace kavro::trainer {

namespace {

const QString kIntervalMime = QStringLiteral("application/x-kavro-trace-interval");

// String ids of the settings tree.
enum : uint32_t {
    IDS_GENERAL = 61231,
    IDS_REPLAY_PAUSE = 61232,
    IDS_REPLAY_SPEED = 61233,
    IDS_TARGET_RESULT = 61234,
    IDS_TARGET_LEN = 61235,
    IDS_SHOT_LIST = 61236,
    IDS_TARGET = 61246,
    IDS_TRACE_COLOR_BEFORE = 61248,
    IDS_TRACE_COLOR_AFTER = 61249,
    IDS_CONTROL_INTERVAL_COLOR = 61250,
    IDS_INTERVALS = 61251,
    IDS_INTERVAL = 61252,
    IDS_ADD_INTERVAL = 61253,
    IDS_TRACE_HEADING = 61254,
    IDS_BREACH_COLOR = 61255,
    IDS_SELECTED_BREACH_COLOR = 61256,
    IDS_SMOOTH_ZOOM = 61257,
    IDS_PRACTICE = 61258,
    IDS_AUTO_REPLAY = 61259,
    IDS_TRACE_STORED = 61260,
    IDS_SECONDS_BEFORE = 61261,
    IDS_SECONDS_AFTER = 61262,
    IDS_AUTO_SWITCH = 61263,
    IDS_AUTO_SAVE = 61264,
    IDS_TIME_COUNTER = 61265,
    IDS_PRINT = 61266,
    IDS_RS232 = 61275,
    IDS_FIRING_POINT = 61276,
    IDS_PIEZO_REJECT = 61277,
    IDS_BLIND_GEN = 61278,
    IDS_BLIND_GEN_FREQUENCY = 61279,
    IDS_FORCE_REPLAY = 61291,
};

// "%i" and "%s" of a printf-style text, in order; a translation cannot make it read more.
QString formatIntAndText(const QString& pattern, int number, const QString& text)
{
    QString out;
    bool numberDone = false, textDone = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size()) {
            const QChar f = pattern[i + 1];
            if ((f == u'i' || f == u'd') && !numberDone) {
                out += QString::number(number);
                numberDone = true;
                ++i;
                continue;
            }
            if (f == u's' && !textDone) {
                out += text;
                textDone = true;
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

} // namespace

int OptionNode::row() const
{
    if (!parent)
        return 0;
    const auto& siblings = parent->children;
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this)
            return int(i);
    return 0;
}

OptionsTreeModel::OptionsTreeModel(AppOptions& options, QObject* parent) : QAbstractItemModel(parent), options_(options)
{
    buildSettingsTree();
}

OptionsTreeModel::~OptionsTreeModel() = default;

void OptionsTreeModel::buildSettingsTree()
{
    using A = OptionArg;
    AppOptions& o = options_;
    constexpr auto None = OptionCheck::None;
    constexpr auto Box = OptionCheck::Box;

    OptionNode* general = insertOptionItem(nullptr, -1, None, nullptr, kImageGroupGeneral, IDS_GENERAL);
    insertOptionItem(general, -1, None, nullptr, kImagePlain, IDS_REPLAY_PAUSE, {A::integer(&o.ReplayAllPause, 1, 10)});
    insertOptionItem(general, -1, None, nullptr, kImagePlain, IDS_REPLAY_SPEED, {A::integer(&o.ReplaySpeed, 10, 300)});
    insertOptionItem(general, -1, Box, &o.TargetResult, kImagePlain, IDS_TARGET_RESULT);
    insertOptionItem(general, -1, Box, &o.TargetLen, kImagePlain, IDS_TARGET_LEN);

    OptionNode* shotList = insertOptionItem(nullptr, -1, None, nullptr, kImageGroupShotList, IDS_SHOT_LIST);
    const std::pair<uint32_t, bool*> columns[] = {
        {61237, &o.ShotListIndex},
        {61238, &o.ShotListResult},
        {61239, &o.ShotListAimingTime},
        {61296, &o.ShotListSteadiness6},
        {61297, &o.ShotListSteadiness9},
        {61240, &o.ShotListSteadiness10center},
        {61241, &o.ShotListSteadiness10p5center},
        {61242, &o.ShotListSteadiness10},
        {61243, &o.ShotListSteadiness10p5},
        {61244, &o.ShotListTraceSpeed},
        {61293, &o.ShotListTraceSpeed250},
        {61245, &o.ShotListBreachFromAAP},
    };
    for (const auto& [id, field] : columns)
        insertOptionItem(shotList, -1, Box, field, kImagePlain, id);

    OptionNode* target = insertOptionItem(nullptr, -1, None, nullptr, kImageGroupTarget, IDS_TARGET);
    insertOptionItem(target, -1, None, nullptr, kImageColor, IDS_BREACH_COLOR, {A::color(&o.BreachColor)});
    insertOptionItem(target, -1, None, nullptr, kImageColor, IDS_SELECTED_BREACH_COLOR,
                     {A::color(&o.SelectedBreachColor)});
    insertOptionItem(target, -1, None, nullptr, kImageColor, IDS_TRACE_COLOR_BEFORE, {A::color(&o.TraceColorBefore)});
    insertOptionItem(target, -1, None, nullptr, kImageColor, IDS_TRACE_COLOR_AFTER, {A::color(&o.TraceColorAfter)});
    insertOptionItem(target, -1, None, nullptr, kImageColor, IDS_CONTROL_INTERVAL_COLOR,
                     {A::color(&o.ControlIntervalColor)});
    insertOptionItem(target, -1, Box, &o.TraceHeadingEnabled, kImagePlain, IDS_TRACE_HEADING,
                     {A::color(&o.TraceHeadingColor), A::real(&o.TraceHeadingLength, 0, 1, 0.01)});
    OptionNode* intervals = insertOptionItem(target, -1, None, nullptr, kImageIntervalList, IDS_INTERVALS);
    if (intervals) {
        intervals->role = OptionNode::Role::IntervalList;
        addIntervalItems(intervals);
    }
    insertOptionItem(target, -1, Box, &o.TargetSmoothZoom, kImagePlain, IDS_SMOOTH_ZOOM);

    OptionNode* practice = insertOptionItem(nullptr, -1, None, nullptr, kImageGroupPractice, IDS_PRACTICE);
    insertOptionItem(practice, -1, Box, &o.EnableRS232, kImagePlain, IDS_RS232);
    insertOptionItem(practice, -1, None, nullptr, kImagePlain, IDS_FIRING_POINT, {A::integer(&o.FiringPoint, 1, 1000)});
    insertOptionItem(practice, -1, Box, &o.AutoReplay, kImagePlain, IDS_AUTO_REPLAY,
                     {A::integer(&o.AutoReplaySec, 0, 60)});
    insertOptionItem(practice, -1, Box, &o.ForceReplay, kImagePlain, IDS_FORCE_REPLAY);
    OptionNode* stored = insertOptionItem(practice, -1, None, nullptr, kImagePlain, IDS_TRACE_STORED);
    insertOptionItem(stored, -1, None, nullptr, kImagePlain, IDS_SECONDS_BEFORE,
                     {A::integer(&o.SaveSecBeforeShot, 5, 60)});
    insertOptionItem(stored, -1, None, nullptr, kImagePlain, IDS_SECONDS_AFTER,
                     {A::integer(&o.SaveSecAfterShot, 1, 2)});
    insertOptionItem(practice, -1, Box, &o.AutoSwitchToTrace, kImagePlain, IDS_AUTO_SWITCH);
    insertOptionItem(practice, -1, Box, &o.EnableAutoSaveAfterShot, kImagePlain, IDS_AUTO_SAVE,
                     {A::integer(&o.AutoSaveAfterShot, 1, 20)});
    insertOptionItem(practice, -1, Box, &o.DisplayTimeCounter, kImagePlain, IDS_TIME_COUNTER);
    insertOptionItem(practice, -1, None, nullptr, kImagePlain, IDS_PIEZO_REJECT,
                     {A::real(&o.PiezoRejectInterval, 0, 10, 0.05)});

    OptionNode* print = insertOptionItem(nullptr, -1, None, nullptr, kImageGroupPrint, IDS_PRINT);
    const std::pair<uint32_t, bool*> pages[] = {
        {61267, &o.PrintAllShots}, {61268, &o.PrintGenInfo}, {61269, &o.PrintSeries},    {61270, &o.PrintCoordination},
        {61271, &o.PrintShift},    {61272, &o.PrintSpeed},   {61273, &o.PrintIntervals}, {61274, &o.PrintProbability},
    };
    for (const auto& [id, field] : pages)
        insertOptionItem(print, -1, Box, field, kImagePlain, id);

    OptionNode* blind = insertOptionItem(nullptr, -1, Box, &o.BlindGen, kImagePlain, IDS_BLIND_GEN);
    const QString frequency = LoadResString(IDS_BLIND_GEN_FREQUENCY);
    for (int i = 0; i < kBlindGenFrequencyCount; ++i) {
        OptionNode* line = insertOptionItemText(blind, -1, None, nullptr, kImagePlain,
                                                formatIntAndText(frequency, i, QStringLiteral("%1!d!")),
                                                {A::integer(&o.BlindGenFrequencies[size_t(i)], 0, 16000)});
        if (line)
            line->stringId = IDS_BLIND_GEN_FREQUENCY;
    }
}

void OptionsTreeModel::addIntervalItems(OptionNode* list)
{
    for (size_t i = 0; i < options_.TraceIntervals.size(); ++i)
        appendIntervalNode(list, int(i), true);
    appendAddNode(list);
}

OptionNode* OptionsTreeModel::appendIntervalNode(OptionNode* list, int entry, bool confirmed)
{
    TraceIntervalColor& e = options_.TraceIntervals[size_t(entry)];
    OptionNode* node = insertOptionItem(
        list, -1, OptionCheck::None, nullptr, confirmed ? kImageColor : kImageAdd, IDS_INTERVAL,
        {OptionArg::color(&e.color), OptionArg::real(&e.begin, -60, 2, 0.01), OptionArg::real(&e.end, -60, 2, 0.01)});
    if (!node) {
        // A template the interval cannot use: the line still has to stand for its entry.
        node = insertOptionItemText(list, -1, OptionCheck::None, nullptr, kImageColor, QString());
    }
    node->role = OptionNode::Role::Interval;
    node->confirmed = confirmed;
    return node;
}

void OptionsTreeModel::appendAddNode(OptionNode* list)
{
    for (const auto& child : list->children)
        if (child->role == OptionNode::Role::AddInterval)
            return;
    const int row = int(list->children.size());
    beginInsertRows(indexOf(list), row, row);
    auto node = std::make_unique<OptionNode>();
    node->parent = list;
    node->stringId = IDS_ADD_INTERVAL;
    node->fixedText = LoadResString(IDS_ADD_INTERVAL);
    node->image = kImageAdd;
    node->role = OptionNode::Role::AddInterval;
    list->children.push_back(std::move(node));
    endInsertRows();
}

void OptionsTreeModel::rebindIntervals(OptionNode* list)
{
    auto& entries = options_.TraceIntervals;
    for (const auto& child : list->children) {
        if (child->role != OptionNode::Role::Interval || !child->item)
            continue;
        TraceIntervalColor& e = entries[size_t(child->row())];
        child->item->rebind(1, ColorField{&e.color});
        child->item->rebind(2, &e.begin);
        child->item->rebind(3, &e.end);
    }
}

OptionNode* OptionsTreeModel::insertOptionItem(OptionNode* parent, int after, OptionCheck check, bool* mark, int image,
                                               uint32_t stringId, const std::vector<OptionArg>& args)
{
    OptionNode* node = insertOptionItemText(parent, after, check, mark, image, LoadResString(stringId), args);
    // A translation that breaks the template must not cost the user the line.
    if (!node && LoadResString(stringId) != englishResString(stringId))
        node = insertOptionItemText(parent, after, check, mark, image, englishResString(stringId), args);
    if (node)
        node->stringId = stringId;
    return node;
}

OptionNode* OptionsTreeModel::insertOptionItemText(OptionNode* parent, int after, OptionCheck check, bool* mark,
                                                   int image, const QString& templ, const std::vector<OptionArg>& args)
{
    OptionNode* under = parent ? parent : &root_;
    auto node = std::make_unique<OptionNode>();
    node->parent = under;
    node->image = image;
    if (check != OptionCheck::None || !args.empty() || templ.contains(u'%')) {
        auto item = OptionItem::create(check, mark, templ, args);
        if (!item)
            return nullptr;
        node->item = std::move(*item);
    } else {
        node->fixedText = templ;
    }
    const int row = after < 0 || after >= int(under->children.size()) ? int(under->children.size()) : after + 1;
    beginInsertRows(indexOf(under), row, row);
    OptionNode* raw = node.get();
    under->children.insert(under->children.begin() + row, std::move(node));
    endInsertRows();
    return raw;
}

OptionNode* OptionsTreeModel::nodeAt(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<OptionNode*>(index.internalPointer()) : nullptr;
}

QModelIndex OptionsTreeModel::indexOf(const OptionNode* node) const
{
    if (!node || node == &root_)
        return {};
    return createIndex(node->row(), 0, const_cast<OptionNode*>(node));
}

QModelIndex OptionsTreeModel::findString(uint32_t stringId) const
{
    std::vector<const OptionNode*> stack{&root_};
    while (!stack.empty()) {
        const OptionNode* n = stack.back();
        stack.pop_back();
        if (n != &root_ && n->stringId == stringId)
            return indexOf(n);
        for (auto it = n->children.rbegin(); it != n->children.rend(); ++it)
            stack.push_back(it->get());
    }
    return {};
}

QModelIndex OptionsTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const OptionNode* p = parent.isValid() ? nodeAt(parent) : &root_;
    if (column != 0 || row < 0 || row >= int(p->children.size()))
        return {};
    return createIndex(row, 0, p->children[size_t(row)].get());
}

QModelIndex OptionsTreeModel::parent(const QModelIndex& child) const
{
    const OptionNode* n = nodeAt(child);
    return n ? indexOf(n->parent) : QModelIndex();
}

int OptionsTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const OptionNode* p = parent.isValid() ? nodeAt(parent) : &root_;
    return int(p->children.size());
}

int OptionsTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool OptionsTreeModel::markAboveClear(const QModelIndex& index) const
{
    const OptionNode* n = nodeAt(index);
    for (const OptionNode* p = n ? n->parent : nullptr; p && p != &root_; p = p->parent)
        if (p->item && p->item->mark() && !*p->item->mark())
            return true;
    return false;
}

bool OptionsTreeModel::isEnabled(const QModelIndex& index) const
{
    const OptionNode* n = nodeAt(index);
    if (!n)
        return false;
    if (n->item && n->item->mark() && !*n->item->mark())
        return false;
    return !markAboveClear(index);
}

bool OptionsTreeModel::isEditable(const QModelIndex& index) const
{
    const OptionNode* n = nodeAt(index);
    return n && n->item && !n->item->valueParts().empty() && isEnabled(index);
}

int OptionsTreeModel::image(const QModelIndex& index) const
{
    const OptionNode* n = nodeAt(index);
    if (!n)
        return kImagePlain;
    if (n->item && n->item->mark()) {
        int image = 1 + (*n->item->mark() ? 1 : 0);
        if (n->item->check() == OptionCheck::Radio)
            image += 4;
        if (markAboveClear(index))
            image += 2;
        return image;
    }
    return n->image;
}

QVariant OptionsTreeModel::data(const QModelIndex& index, int role) const
{
    const OptionNode* n = nodeAt(index);
    if (!n)
        return {};
    switch (role) {
    case Qt::DisplayRole: return n->text();
    case Qt::CheckStateRole:
        if (n->item && n->item->mark())
            return *n->item->mark() ? Qt::Checked : Qt::Unchecked;
        return {};
    case ImageRole: return image(index);
    case GreyedRole: return markAboveClear(index);
    case EditableRole: return isEditable(index);
    }
    return {};
}

bool OptionsTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const OptionNode* n = nodeAt(index);
    if (role != Qt::CheckStateRole || !n || !n->item || !n->item->mark())
        return false;
    const bool wanted = value.toInt() != Qt::Unchecked;
    if (wanted == *n->item->mark())
        return false;
    return toggle(index);
}

Qt::ItemFlags OptionsTreeModel::flags(const QModelIndex& index) const
{
    const OptionNode* n = nodeAt(index);
    if (!n)
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (n->item && n->item->mark() && !markAboveClear(index))
        f |= Qt::ItemIsUserCheckable;
    if (isConfirmedInterval(index))
        f |= Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    return f;
}

bool OptionsTreeModel::toggle(const QModelIndex& index)
{
    OptionNode* n = nodeAt(index);
    if (!n || !n->item || !n->item->mark() || markAboveClear(index))
        return false;
    if (n->item->check() == OptionCheck::Box) {
        setItemCheck(index, !*n->item->mark());
        return true;
    }
    if (*n->item->mark())
        return false; // a set radio item stays set
    for (const auto& sibling : n->parent->children)
        if (sibling.get() != n && sibling->item && sibling->item->check() == OptionCheck::Radio
            && *sibling->item->mark())
            setItemCheck(indexOf(sibling.get()), false);
    setItemCheck(index, true);
    return true;
}

void OptionsTreeModel::setItemCheck(const QModelIndex& index, bool value)
{
    OptionNode* n = nodeAt(index);
    if (!n || !n->item || !n->item->mark())
        return;
    *n->item->mark() = value;
    refreshSubtree(index);
    emit markChanged(index);
}

void OptionsTreeModel::refreshSubtree(const QModelIndex& index)
{
    emit dataChanged(index, index);
    for (int r = 0; r < rowCount(index); ++r)
        refreshSubtree(this->index(r, 0, index));
}

bool OptionsTreeModel::commitText(const QModelIndex& index, int part, const QString& text)
{
    OptionNode* n = nodeAt(index);
    if (!n || !n->item)
        return false;
    const bool changed = n->item->commit(part, text);
    emit dataChanged(index, index);
    return changed;
}

bool OptionsTreeModel::step(const QModelIndex& index, int part, int steps)
{
    OptionNode* n = nodeAt(index);
    if (!n || !n->item || !n->item->step(part, steps))
        return false;
    emit dataChanged(index, index);
    return true;
}

void OptionsTreeModel::setColor(const QModelIndex& index, int part, COLORREF color)
{
    OptionNode* n = nodeAt(index);
    if (!n || !n->item)
        return;
    n->item->setColor(part, color);
    emit dataChanged(index, index);
}

bool OptionsTreeModel::isConfirmedInterval(const QModelIndex& index) const
{
    const OptionNode* n = nodeAt(index);
    return n && n->role == OptionNode::Role::Interval && n->confirmed;
}

void OptionsTreeModel::leave(const QModelIndex& index)
{
    OptionNode* n = nodeAt(index);
    if (!n || n->role != OptionNode::Role::Interval || n->confirmed)
        return;
    OptionNode* list = n->parent;
    const int row = n->row();
    const TraceIntervalColor& e = options_.TraceIntervals[size_t(row)];
    if (e.end > e.begin) {
        n->confirmed = true;
        n->image = kImageColor;
        emit dataChanged(index, index);
    } else {
        beginRemoveRows(indexOf(list), row, row);
        list->children.erase(list->children.begin() + row);
        options_.TraceIntervals.erase(options_.TraceIntervals.begin() + row);
        endRemoveRows();
        rebindIntervals(list);
    }
    appendAddNode(list);
}

QModelIndex OptionsTreeModel::enter(const QModelIndex& index)
{
    OptionNode* n = nodeAt(index);
    if (!n || n->role != OptionNode::Role::AddInterval)
        return index;
    OptionNode* list = n->parent;
    options_.TraceIntervals.push_back({rgb(255, 255, 255), 0.0f, 0.0f});
    rebindIntervals(list); // the entries may have moved
    const int row = n->row();
    beginRemoveRows(indexOf(list), row, row);
    list->children.erase(list->children.begin() + row);
    endRemoveRows();
    return indexOf(appendIntervalNode(list, int(options_.TraceIntervals.size()) - 1, false));
}

bool OptionsTreeModel::deleteInterval(const QModelIndex& index)
{
    if (!isConfirmedInterval(index))
        return false;
    OptionNode* list = nodeAt(index)->parent;
    const int row = index.row();
    beginRemoveRows(indexOf(list), row, row);
    list->children.erase(list->children.begin() + row);
    options_.TraceIntervals.erase(options_.TraceIntervals.begin() + row);
    endRemoveRows();
    rebindIntervals(list);
    return true;
}

bool OptionsTreeModel::moveInterval(const QModelIndex& from, const QModelIndex& onto)
{
    if (!isConfirmedInterval(from) || !isConfirmedInterval(onto) || from.parent() != onto.parent()
        || from.row() == onto.row())
        return false;
    OptionNode* list = nodeAt(from)->parent;
    const int i = from.row(), j = onto.row();
    const QModelIndex parent = indexOf(list);
    if (!beginMoveRows(parent, i, i, parent, j > i ? j + 1 : j))
        return false;
    auto node = std::move(list->children[size_t(i)]);
    list->children.erase(list->children.begin() + i);
    list->children.insert(list->children.begin() + j, std::move(node));
    auto& entries = options_.TraceIntervals;
    const TraceIntervalColor entry = entries[size_t(i)];
    entries.erase(entries.begin() + i);
    entries.insert(entries.begin() + j, entry);
    rebindIntervals(list);
    endMoveRows();
    return true;
}

Qt::DropActions OptionsTreeModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions OptionsTreeModel::supportedDragActions() const
{
    return Qt::MoveAction;
}

QStringList OptionsTreeModel::mimeTypes() const
{
    return {kIntervalMime};
}

QMimeData* OptionsTreeModel::mimeData(const QModelIndexList& indexes) const
{
    if (indexes.size() != 1 || !isConfirmedInterval(indexes.first()))
        return nullptr;
    auto* data = new QMimeData;
    data->setData(kIntervalMime, QByteArray::number(indexes.first().row()));
    return data;
}

bool OptionsTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                       const QModelIndex& parent) const
{
    Q_UNUSED(row);
    Q_UNUSED(column);
    // Only onto another interval of the list the drag came from.
    return data && data->hasFormat(kIntervalMime) && action == Qt::MoveAction && isConfirmedInterval(parent);
}

bool OptionsTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                    const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    bool ok = false;
    const int source = data->data(kIntervalMime).toInt(&ok);
    if (!ok)
        return false;
    const QModelIndex from = index(source, 0, parent.parent());
    // The move is done here; the view must not remove the dragged row afterwards, which the
    // model refuses anyway (it has no removeRows).
    return moveInterval(from, parent);
}

} // namespace kavro::trainer
