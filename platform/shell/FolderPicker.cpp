#include "FolderPicker.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {

QString Shown(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// `folder` joined with `name`, with one separator.
std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

} // namespace

// The folders below "/", each listed by its bytes the first time it is opened.
class FolderTreeModel : public QAbstractItemModel {
public:
    struct Node {
        std::string Path;
        std::string Name;
        Node* Parent = nullptr;
        int Row = 0;
        bool Listed = false;
        std::vector<std::unique_ptr<Node>> Children;
    };

    explicit FolderTreeModel(QObject* parent) : QAbstractItemModel(parent) {
        root_.Path = "/";
        root_.Name = "/";
    }

    QModelIndex index(int row, int column, const QModelIndex& parent) const override {
        const Node* node = NodeOf(parent);
        if (!parent.isValid()) {
            return row == 0 && column == 0 ? createIndex(0, 0, const_cast<Node*>(&root_))
                                           : QModelIndex();
        }
        if (column != 0 || row < 0 || row >= static_cast<int>(node->Children.size())) {
            return QModelIndex();
        }
        return createIndex(row, 0, node->Children[static_cast<size_t>(row)].get());
    }
    QModelIndex parent(const QModelIndex& child) const override {
        const Node* node = NodeOf(child);
        if (!child.isValid() || node->Parent == nullptr) {
            return QModelIndex();
        }
        return createIndex(node->Parent->Row, 0, node->Parent);
    }
    int rowCount(const QModelIndex& parent) const override {
        if (!parent.isValid()) {
            return 1;
        }
        return static_cast<int>(NodeOf(parent)->Children.size());
    }
    int columnCount(const QModelIndex&) const override { return 1; }
    bool hasChildren(const QModelIndex& parent) const override {
        // Unlisted folders may have subfolders: they show the expander until opened.
        const Node* node = NodeOf(parent);
        return !parent.isValid() || !node->Listed || !node->Children.empty();
    }
    bool canFetchMore(const QModelIndex& parent) const override {
        return parent.isValid() && !NodeOf(parent)->Listed;
    }
    void fetchMore(const QModelIndex& parent) override {
        Node* node = NodeOf(parent);
        if (!parent.isValid() || node->Listed) {
            return;
        }
        std::vector<std::string> names = SubfolderNames(node->Path);
        node->Listed = true;
        if (names.empty()) {
            // The expander goes: there is nothing below.
            emit dataChanged(parent, parent);
            return;
        }
        beginInsertRows(parent, 0, static_cast<int>(names.size()) - 1);
        for (std::string& name : names) {
            auto child = std::make_unique<Node>();
            child->Path = Join(node->Path, name);
            child->Name = std::move(name);
            child->Parent = node;
            child->Row = static_cast<int>(node->Children.size());
            node->Children.push_back(std::move(child));
        }
        endInsertRows();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) {
            return QVariant();
        }
        if (role == Qt::DisplayRole) {
            return Shown(NodeOf(index)->Name);
        }
        if (role == Qt::DecorationRole) {
            return folderIcon_;
        }
        return QVariant();
    }

    static Node* NodeOf(const QModelIndex& index) {
        return static_cast<Node*>(index.internalPointer());
    }

    // The index of the folder `path` (bytes), listing the folders on its way; invalid when
    // the tree does not show it.
    QModelIndex IndexOfPath(const std::string& path) {
        QModelIndex current = index(0, 0, QModelIndex());
        std::size_t start = 0;
        while (start < path.size()) {
            while (start < path.size() && path[start] == '/') {
                ++start;
            }
            if (start >= path.size()) {
                break;
            }
            const std::size_t end = std::min(path.find('/', start), path.size());
            const std::string name = path.substr(start, end - start);
            start = end;
            fetchMore(current);
            Node* node = NodeOf(current);
            const auto found = std::find_if(node->Children.begin(), node->Children.end(),
                                            [&](const auto& child) { return child->Name == name; });
            if (found != node->Children.end()) {
                current = index((*found)->Row, 0, current);
                continue;
            }
            // A folder the tree leaves out (a hidden one) that the way goes through: it is
            // shown, at the end of its parent's folders.
            struct stat info {};
            if (::stat(Join(node->Path, name).c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
                return QModelIndex();
            }
            const int row = static_cast<int>(node->Children.size());
            beginInsertRows(current, row, row);
            auto child = std::make_unique<Node>();
            child->Path = Join(node->Path, name);
            child->Name = name;
            child->Parent = node;
            child->Row = row;
            node->Children.push_back(std::move(child));
            endInsertRows();
            current = index(row, 0, current);
        }
        return current;
    }

    void SetFolderIcon(const QIcon& icon) { folderIcon_ = icon; }

private:
    // The names of the folders in `path` (links to folders too), without hidden ones,
    // in the order a user reads them.
    static std::vector<std::string> SubfolderNames(const std::string& path) {
        std::vector<std::string> names;
        DIR* folder = ::opendir(path.c_str());
        if (folder == nullptr) {
            return names;
        }
        while (const dirent* entry = ::readdir(folder)) {
            const std::string name = entry->d_name;
            if (name.empty() || name[0] == '.') {
                continue;
            }
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
                struct stat info {};
                isFolder = ::stat(Join(path, name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
            }
            if (isFolder) {
                names.push_back(name);
            }
        }
        ::closedir(folder);
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            const int order = Shown(a).compare(Shown(b), Qt::CaseInsensitive);
            return order != 0 ? order < 0 : a < b;
        });
        return names;
    }

    Node root_;
    QIcon folderIcon_;
};

FolderPicker::FolderPicker(const std::string& startFolder, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FolderPicker"));
    // The title Qt's own picker has, in the user's language through Qt's translations.
    setWindowTitle(QCoreApplication::translate("QFileDialog", "Find Directory"));
    model_ = new FolderTreeModel(this);
    model_->SetFolderIcon(style()->standardIcon(QStyle::SP_DirIcon));

    pathLine_ = new QLineEdit(this);
    pathLine_->setReadOnly(true);
    tree_ = new QTreeView(this);
    tree_->setModel(model_);
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton_ = buttons->button(QDialogButtonBox::Ok);
    // Enter takes the selected folder; the keys start in the tree.
    okButton_->setDefault(true);
    tree_->setFocus();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pathLine_);
    layout->addWidget(tree_, 1);
    layout->addWidget(buttons);
    resize(520, 420);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { ShowSelection(); });
    if (!SelectPath(startFolder)) {
        SelectPath("/");
    }
    ShowSelection();
}

FolderPicker::~FolderPicker() = default;

std::string FolderPicker::SelectedPath() const {
    const QModelIndexList rows = tree_->selectionModel()->selectedRows();
    return rows.isEmpty() ? std::string() : FolderTreeModel::NodeOf(rows.first())->Path;
}

bool FolderPicker::SelectPath(const std::string& path) {
    const QModelIndex index = model_->IndexOfPath(path);
    if (!index.isValid()) {
        return false;
    }
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent()) {
        tree_->expand(above);
    }
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
    return true;
}

void FolderPicker::ShowSelection() {
    const std::string path = SelectedPath();
    pathLine_->setText(Shown(path));
    okButton_->setEnabled(!path.empty());
}
