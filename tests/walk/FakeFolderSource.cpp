#include "FakeFolderSource.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

// A chain of links longer than this ends as the system's ELOOP does.
constexpr int MaxLinkDepth = 40;

// One open folder of the fake tree. The names it gives are the tree's own strings, which
// stay put while the walk runs (the tree is not changed then) and end with a NUL.
class FakeSourceFolder : public SourceFolder {
public:
    FakeSourceFolder(FakeFolderSource& source, int node, bool byWorker)
        : source_(source), node_(node), byWorker_(byWorker) {}
    ~FakeSourceFolder() override { source_.Closed(byWorker_); }

    NodeIdentity Identity() const override { return Folder().Identity; }

    std::string_view ReadName() override {
        const FakeFolderSource::Node& folder = Folder();
        if (folder.BlockRead) {
            source_.WaitWhileBlocked();
        }
        if (failed_ || next_ >= folder.Children.size()) {
            return {};
        }
        if (folder.FailAfterNames >= 0 &&
            next_ >= static_cast<std::size_t>(folder.FailAfterNames)) {
            failed_ = true;
            return {};
        }
        return source_.nodes_[static_cast<std::size_t>(folder.Children[next_++])].Name;
    }

    bool ReadFailed() const override { return failed_; }

    void Rewind() override {
        next_ = 0;
        failed_ = false;
    }

    LookResult LookAt(std::string_view name, EntryFacts& facts, LinkTarget target) override {
        const int child = ChildNamed(name);
        if (child == FakeFolderSource::NotFound) {
            return LookResult::Vanished;
        }
        source_.CountLook(child);
        const FakeFolderSource::Node& entry = source_.nodes_[static_cast<std::size_t>(child)];
        if (entry.BlockLook) {
            source_.WaitWhileBlocked();
        }
        if (entry.LookAnswer != LookResult::Looked) {
            return entry.LookAnswer;
        }
        facts = EntryFacts{};
        facts.Type = entry.Type;
        facts.SizeBytes =
            entry.Type == EntryFacts::Kind::Link ? entry.Target.size() : entry.SizeBytes;
        facts.LastWriteTime = entry.LastWriteTime;
        facts.Identity = entry.Identity;
        facts.LinkCount = entry.LinkCount;
        if (entry.Type == EntryFacts::Kind::Link && target == LinkTarget::Look) {
            // As stat does: the target's file system answers, or the call waits for it.
            const int target = source_.Resolve(node_, entry.Target, true);
            if (target != FakeFolderSource::NotFound) {
                const FakeFolderSource::Node& reached =
                    source_.nodes_[static_cast<std::size_t>(target)];
                if (reached.BlockOpen || reached.BlockLook) {
                    source_.WaitWhileBlocked();
                }
                facts.TargetIsFolder = reached.Type == EntryFacts::Kind::Folder;
                facts.TargetIdentity = reached.Identity;
            }
        }
        return LookResult::Looked;
    }

    std::unique_ptr<SourceFolder> OpenBelow(std::string_view name, bool followLink,
                                            OpenFailure& failure) override {
        const int target = source_.Resolve(node_, name, followLink);
        if (target == FakeFolderSource::NotFound ||
            source_.nodes_[static_cast<std::size_t>(target)].Type != EntryFacts::Kind::Folder) {
            failure = OpenFailure::Unreadable;
            return nullptr;
        }
        return source_.OpenNode(target, failure, true);
    }

    std::unique_ptr<SourceFolder> OpenAbove(OpenFailure& failure) override {
        return source_.OpenNode(Folder().Parent, failure, false);
    }

    bool IsOnPseudoFileSystem() override {
        return source_.devices_[Folder().Identity.Device - 1].Pseudo;
    }

    std::string RealPath() override { return source_.PathOf(node_); }

private:
    const FakeFolderSource::Node& Folder() const {
        return source_.nodes_[static_cast<std::size_t>(node_)];
    }

    // The name just read is looked for first: that is what the walk looks at.
    int ChildNamed(std::string_view name) const {
        const std::vector<int>& children = Folder().Children;
        if (next_ > 0 &&
            source_.nodes_[static_cast<std::size_t>(children[next_ - 1])].Name == name) {
            return children[next_ - 1];
        }
        return source_.FindChild(node_, name);
    }

    FakeFolderSource& source_;
    const int node_;
    const bool byWorker_;
    std::size_t next_ = 0;
    bool failed_ = false;
};

FakeFolderSource::FakeFolderSource() : walkThread_(std::this_thread::get_id()) {
    Node top;
    top.Type = EntryFacts::Kind::Folder;
    top.Identity = {NewDevice({}), nextNumber_++};
    nodes_.push_back(top);
}

FakeFolderSource::~FakeFolderSource() {
    ReleaseBlocked();
}

void FakeFolderSource::AddFolder(const std::string& path) {
    MakeFolders(path);
}

void FakeFolderSource::AddFile(const std::string& path, std::uint64_t sizeBytes,
                               std::int64_t lastWriteTime) {
    Node& file = nodes_[static_cast<std::size_t>(MakeNode(path, EntryFacts::Kind::File))];
    file.SizeBytes = sizeBytes;
    file.LastWriteTime = lastWriteTime;
}

void FakeFolderSource::AddHardLink(const std::string& path, const std::string& existing) {
    const int original = Find(existing);
    if (original == NotFound ||
        nodes_[static_cast<std::size_t>(original)].Type != EntryFacts::Kind::File) {
        throw std::logic_error("no file at " + existing);
    }
    const Node copy = nodes_[static_cast<std::size_t>(original)];
    Node& second = nodes_[static_cast<std::size_t>(MakeNode(path, EntryFacts::Kind::File))];
    second.SizeBytes = copy.SizeBytes;
    second.LastWriteTime = copy.LastWriteTime;
    second.Identity = copy.Identity;
    const std::uint32_t names = copy.LinkCount + 1;
    for (Node& node : nodes_) {
        if (node.Type == EntryFacts::Kind::File && node.Identity == copy.Identity) {
            node.LinkCount = names;
        }
    }
}

void FakeFolderSource::AddLink(const std::string& path, const std::string& target) {
    nodes_[static_cast<std::size_t>(MakeNode(path, EntryFacts::Kind::Link))].Target = target;
}

void FakeFolderSource::AddMount(const std::string& path, DriveType drive) {
    const int folder = MakeFolders(path);
    nodes_[static_cast<std::size_t>(folder)].Identity.Device = NewDevice({drive, false, false});
}

void FakeFolderSource::AddPseudoMount(const std::string& path) {
    const int folder = MakeFolders(path);
    nodes_[static_cast<std::size_t>(folder)].Identity.Device =
        NewDevice({DriveType::Fixed, true, false});
}

void FakeFolderSource::AddFolderOfDrives(const std::string& path) {
    const int folder = MakeFolders(path);
    nodes_[static_cast<std::size_t>(folder)].Identity.Device =
        NewDevice({DriveType::Network, false, true});
}

void FakeFolderSource::AddNamedNetworkMount(const std::string& path) {
    AddMount(path, DriveType::Network);
    const Node& mount = nodes_[static_cast<std::size_t>(Find(path))];
    namedMounts_[PathOf(mount.Parent)].push_back({mount.Name, mount.Identity.Device});
}

void FakeFolderSource::MakeUnopenable(const std::string& path) {
    nodes_[static_cast<std::size_t>(MakeFolders(path))].Unopenable = true;
}

void FakeFolderSource::FailListingAfter(const std::string& path, int names) {
    nodes_[static_cast<std::size_t>(MakeFolders(path))].FailAfterNames = names;
}

void FakeFolderSource::FailLook(const std::string& path) {
    nodes_[static_cast<std::size_t>(Find(path))].LookAnswer = LookResult::Failed;
}

void FakeFolderSource::VanishOnLook(const std::string& path) {
    nodes_[static_cast<std::size_t>(Find(path))].LookAnswer = LookResult::Vanished;
}

void FakeFolderSource::BlockFolder(const std::string& path, Block where) {
    Node& folder = nodes_[static_cast<std::size_t>(MakeFolders(path))];
    (where == Block::Open   ? folder.BlockOpen
     : where == Block::Read ? folder.BlockRead
                            : folder.BlockLook) = true;
}

void FakeFolderSource::ReleaseBlocked() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

void FakeFolderSource::SetHandleLimit(int count) {
    std::lock_guard lock(mutex_);
    handleLimit_ = count;
}

void FakeFolderSource::SetAllowance(HandleAllowance allowance) {
    allowance_ = allowance;
}

void FakeFolderSource::SetWalkThread(std::thread::id thread) {
    walkThread_ = thread;
}

int FakeFolderSource::BlockedNow() const {
    std::lock_guard lock(mutex_);
    return blockedNow_;
}

int FakeFolderSource::WalkThreadBlocks() const {
    std::lock_guard lock(mutex_);
    return walkThreadBlocks_;
}

bool FakeFolderSource::WaitUntilBlocked(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return blockedNow_ >= count; });
}

int FakeFolderSource::OpenFolders() const {
    std::lock_guard lock(mutex_);
    return openFolders_;
}

int FakeFolderSource::TakeMostOpenFolders() {
    std::lock_guard lock(mutex_);
    return std::exchange(mostOpenFolders_, openFolders_);
}

int FakeFolderSource::TakeMostOpenByWorkers() {
    std::lock_guard lock(mutex_);
    return std::exchange(mostOpenByWorkers_, openByWorkers_);
}

int FakeFolderSource::OutOfHandlesCount() const {
    std::lock_guard lock(mutex_);
    return outOfHandles_;
}

int FakeFolderSource::OpenCount(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const auto found = counts_.find(Find(path));
    return found == counts_.end() ? 0 : found->second.Opens;
}

int FakeFolderSource::OpenCountOnWalkThread(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const auto found = counts_.find(Find(path));
    return found == counts_.end() ? 0 : found->second.OpensOnWalkThread;
}

int FakeFolderSource::LookCount(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const auto found = counts_.find(Find(path));
    return found == counts_.end() ? 0 : found->second.Looks;
}

std::unique_ptr<SourceFolder> FakeFolderSource::OpenPath(const std::string& path, bool followLink,
                                                         OpenFailure& failure) {
    const int node = path.empty() || path[0] != '/' ? NotFound : Resolve(0, path, followLink);
    if (node == NotFound ||
        nodes_[static_cast<std::size_t>(node)].Type != EntryFacts::Kind::Folder) {
        failure = OpenFailure::Unreadable;
        return nullptr;
    }
    return OpenNode(node, failure, true);
}

HandleAllowance FakeFolderSource::Allowance() {
    return allowance_;
}

DriveType FakeFolderSource::DriveTypeOfDevice(std::uint64_t device) {
    return device == 0 || device > devices_.size() ? DriveType::Unknown
                                                   : devices_[device - 1].Drive;
}

bool FakeFolderSource::IsPseudoFileSystemDevice(std::uint64_t device) {
    return device != 0 && device <= devices_.size() && devices_[device - 1].Pseudo;
}

bool FakeFolderSource::IsFolderOfDrives(std::uint64_t device) {
    return device != 0 && device <= devices_.size() && devices_[device - 1].FolderOfDrives;
}

bool FakeFolderSource::HasNetworkMounts() {
    return !namedMounts_.empty();
}

std::vector<std::string> FakeFolderSource::FoldersHoldingNetworkMounts() {
    std::vector<std::string> folders;
    for (const auto& [folder, mounts] : namedMounts_) {
        folders.push_back(folder);
    }
    return folders;
}

const std::vector<NamedMount>* FakeFolderSource::NetworkMountsIn(const std::string& realFolder) {
    const auto found = namedMounts_.find(realFolder);
    return found == namedMounts_.end() ? nullptr : &found->second;
}

std::string FakeFolderSource::RealPathOf(const std::string& path) {
    const int node = path.empty() || path[0] != '/' ? NotFound : Resolve(0, path, true);
    return node == NotFound ? std::string() : PathOf(node);
}

int FakeFolderSource::Find(const std::string& path) const {
    int node = 0;
    std::size_t start = 0;
    while (node != NotFound && start < path.size()) {
        std::size_t end = path.find('/', start);
        end = end == std::string::npos ? path.size() : end;
        if (end > start) {
            node = FindChild(node, std::string_view(path).substr(start, end - start));
        }
        start = end + 1;
    }
    return node;
}

int FakeFolderSource::FindChild(int folder, std::string_view name) const {
    for (int child : nodes_[static_cast<std::size_t>(folder)].Children) {
        if (nodes_[static_cast<std::size_t>(child)].Name == name) {
            return child;
        }
    }
    return NotFound;
}

int FakeFolderSource::Resolve(int start, std::string_view path, bool followLast, int depth) {
    if (depth > MaxLinkDepth) {
        return NotFound;
    }
    int current = !path.empty() && path[0] == '/' ? 0 : start;
    std::size_t begin = 0;
    while (begin < path.size()) {
        std::size_t end = path.find('/', begin);
        end = end == std::string_view::npos ? path.size() : end;
        const std::string_view name = path.substr(begin, end - begin);
        const bool last = path.find_first_not_of('/', end) == std::string_view::npos;
        begin = end + 1;
        if (name.empty() || name == ".") {
            continue;
        }
        const Node& folder = nodes_[static_cast<std::size_t>(current)];
        if (folder.Type != EntryFacts::Kind::Folder) {
            return NotFound;
        }
        int next = name == ".." ? folder.Parent : FindChild(current, name);
        if (next == NotFound) {
            return NotFound;
        }
        if (nodes_[static_cast<std::size_t>(next)].Type == EntryFacts::Kind::Link &&
            (!last || followLast)) {
            next = Resolve(current, nodes_[static_cast<std::size_t>(next)].Target, true, depth + 1);
            if (next == NotFound) {
                return NotFound;
            }
        }
        if (!last && nodes_[static_cast<std::size_t>(next)].BlockOpen) {
            WaitWhileBlocked();
        }
        current = next;
    }
    return current;
}

int FakeFolderSource::MakeNode(const std::string& path, EntryFacts::Kind type) {
    const std::size_t slash = path.find_last_of('/');
    if (path.empty() || path[0] != '/' || slash == path.size() - 1) {
        throw std::logic_error("not an absolute path to a name: " + path);
    }
    const int parent = MakeFolders(path.substr(0, slash));
    std::string name = path.substr(slash + 1);
    if (FindChild(parent, name) != NotFound) {
        throw std::logic_error("made twice: " + path);
    }
    Node node;
    node.Type = type;
    node.Name = std::move(name);
    node.Parent = parent;
    node.Identity = {nodes_[static_cast<std::size_t>(parent)].Identity.Device, nextNumber_++};
    nodes_.push_back(std::move(node));
    const int index = static_cast<int>(nodes_.size() - 1);
    nodes_[static_cast<std::size_t>(parent)].Children.push_back(index);
    return index;
}

int FakeFolderSource::MakeFolders(const std::string& path) {
    const int existing = Find(path);
    if (existing != NotFound) {
        if (nodes_[static_cast<std::size_t>(existing)].Type != EntryFacts::Kind::Folder) {
            throw std::logic_error("not a folder: " + path);
        }
        return existing;
    }
    return MakeNode(path, EntryFacts::Kind::Folder);
}

std::uint64_t FakeFolderSource::NewDevice(Device device) {
    devices_.push_back(device);
    return devices_.size();
}

std::string FakeFolderSource::PathOf(int node) const {
    if (node == 0) {
        return "/";
    }
    std::string path;
    for (; node != 0; node = nodes_[static_cast<std::size_t>(node)].Parent) {
        path.insert(0, "/" + nodes_[static_cast<std::size_t>(node)].Name);
    }
    return path;
}

bool FakeFolderSource::OnWalkThread() const {
    return std::this_thread::get_id() == walkThread_;
}

void FakeFolderSource::WaitWhileBlocked() {
    std::unique_lock lock(mutex_);
    if (released_) {
        return;
    }
    ++blockedNow_;
    changed_.notify_all();
    if (OnWalkThread()) {
        ++walkThreadBlocks_;
        changed_.wait_for(lock, WalkThreadBlockLimit, [&] { return released_; });
    } else {
        changed_.wait(lock, [&] { return released_; });
    }
    --blockedNow_;
    changed_.notify_all();
}

std::unique_ptr<SourceFolder> FakeFolderSource::OpenNode(int node, OpenFailure& failure,
                                                         bool listable) {
    const Node& folder = nodes_[static_cast<std::size_t>(node)];
    {
        std::lock_guard lock(mutex_);
        Counts& counts = counts_[node];
        ++counts.Opens;
        counts.OpensOnWalkThread += OnWalkThread() ? 1 : 0;
    }
    if (listable && folder.BlockOpen) {
        WaitWhileBlocked();
    }
    if (listable && folder.Unopenable) {
        failure = OpenFailure::Unreadable;
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    if (handleLimit_ >= 0 && openFolders_ >= handleLimit_) {
        ++outOfHandles_;
        failure = OpenFailure::OutOfHandles;
        return nullptr;
    }
    mostOpenFolders_ = std::max(mostOpenFolders_, ++openFolders_);
    const bool byWorker = !OnWalkThread();
    if (byWorker) {
        mostOpenByWorkers_ = std::max(mostOpenByWorkers_, ++openByWorkers_);
    }
    failure = OpenFailure::None;
    return std::make_unique<FakeSourceFolder>(*this, node, byWorker);
}

void FakeFolderSource::CountLook(int node) {
    std::lock_guard lock(mutex_);
    ++counts_[node].Looks;
}

void FakeFolderSource::Closed(bool byWorker) {
    std::lock_guard lock(mutex_);
    --openFolders_;
    openByWorkers_ -= byWorker ? 1 : 0;
}
