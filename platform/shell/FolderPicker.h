#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;
class QTreeView;
class FolderTreeModel;

// The program's folder picker: the folders of the file system as a tree, read by their
// bytes. Qt's own file dialog leaves out every name that is not valid UTF-8, so a folder
// with such a name could not be chosen; here it shows with replacement characters and the
// path handed back keeps its original bytes. Hidden folders (a name starting with ".") are
// left out, as file dialogs do. Nothing is read from or written to the user's settings.
class FolderPicker : public QDialog {
    Q_OBJECT
public:
    // Opens at `startFolder` (bytes), expanded and selected; at "/" when it is not there.
    explicit FolderPicker(const std::string& startFolder, QWidget* parent = nullptr);
    ~FolderPicker() override;

    // The selected folder's path, exactly as its bytes; empty without a selection.
    std::string SelectedPath() const;
    // Selects the folder `path` (bytes), expanding the tree down to it. False when it is not
    // a folder the tree shows.
    bool SelectPath(const std::string& path);
    // The tree, for a test that chooses a row as the user would.
    QTreeView* Tree() const { return tree_; }

private:
    void ShowSelection();

    FolderTreeModel* model_ = nullptr;
    QTreeView* tree_ = nullptr;
    QLineEdit* pathLine_ = nullptr;
    QPushButton* okButton_ = nullptr;
};
