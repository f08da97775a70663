#include "TreeGenerator.h"

#include "TreeRandom.h"

#include "TreeFolder.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <unordered_set>

namespace {

constexpr std::uint64_t KiB = 1024;
constexpr std::uint64_t MiB = 1024 * KiB;
constexpr std::uint64_t GiB = 1024 * MiB;

// Name parts. They mix what real trees hold: blanks, several dots, capitals next to the
// same name in small letters, umlauts, other scripts, leading dots (hidden files).
constexpr std::array<std::string_view, 24> FileStems = {
    "report",   "Report",       "IMG_",       "DSC",  "Backup of ",   "track",   "Übersicht",
    "données",  "写真",         "video clip", "a",    "archive.part", ".hidden", "x-y_z",
    "README",   "setup-v2.1",   "Straße",     "core", "Fotos (alt)",  "~tmp",    "résumé",
    "Ελληνικά", "data 2024-01", "#notes#",
};
constexpr std::array<std::string_view, 18> Extensions = {
    "",     ".iso", ".mkv", ".mp4", ".zip",  ".tar.gz", ".txt", ".jpg", ".pdf",
    ".DAT", ".bin", ".log", ".7z",  ".vhdx", ".ISO",    ".",    ".JPG", ".mp3",
};
constexpr std::array<std::string_view, 16> FolderStems = {
    "Documents", "photos 2019", "Unterordner Ä", "node_modules", ".cache", "a",      "Projekt-Ö",
    "src",       "Music",       "déjà vu",       "tmp",          "Videos", "v1.2.3", "日本",
    "build out", "Z",
};
constexpr std::array<std::string_view, 4> Separators = {"", "_", " ", "-"};
// Sizes that real trees repeat: empty markers, blocks, pages, round megabytes.
constexpr std::array<std::uint64_t, 11> CommonSizes = {
    1, 100, 512, KiB, 4 * KiB, 8 * KiB, 64 * KiB, MiB, 10 * MiB, 100 * MiB, 700 * MiB,
};
// Large sizes that repeat, among them the awkward ones: exactly 4 GiB (nothing in the low
// 32 bits), one byte more, and sizes whose low 32 bits are smaller than those of files
// that are much smaller.
constexpr std::array<std::uint64_t, 6> HugeSizes = {
    4 * GiB, 4 * GiB + 1, 5 * GiB, 7 * GiB, 8 * GiB, 16 * GiB - 1,
};

std::string Base36(std::uint64_t value) {
    static constexpr char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 36]);
        value /= 36;
    } while (value != 0);
    return text;
}

template <std::size_t N>
std::string_view Pick(TreeRandom& random, const std::array<std::string_view, N>& pool) {
    return pool[random.Below(N)];
}

std::uint64_t DrawSize(TreeRandom& random) {
    const std::uint64_t roll = random.Below(1000);
    if (roll < 40) {
        return 0;
    }
    if (roll < 130) {
        return CommonSizes[random.Below(CommonSizes.size())];
    }
    if (roll < 135) {
        if (random.Chance(500)) {
            return HugeSizes[random.Below(HugeSizes.size())];
        }
        return 4 * GiB + random.Below(60 * GiB);
    }
    // Roughly even over the orders of magnitude from 1 byte to just under 4 GiB.
    const unsigned bits = static_cast<unsigned>(random.Below(32));
    const std::uint64_t base = std::uint64_t{1} << bits;
    return base + random.Below(base);
}

// Between 1995 and 2030, so that dates before and after today both occur.
std::int64_t DrawLastWriteTime(TreeRandom& random) {
    constexpr std::int64_t from = 788918400; // 1995-01-01
    constexpr std::int64_t to = 1924992000;  // 2031-01-01
    return from + static_cast<std::int64_t>(random.Below(static_cast<std::uint64_t>(to - from)));
}

// A name that no other entry of the same folder has: part of the time the plain stem and
// extension, otherwise with a short unique token, now and then very long or not UTF-8.
std::string DrawFileName(TreeRandom& random, std::unordered_set<std::string>& used,
                         std::size_t index) {
    std::string name(Pick(random, FileStems));
    if (random.Chance(2)) {
        // A name that the platform holds oddly must still reach the right file.
        name += TreeFolder::OddNamePart;
    }
    if (random.Chance(5)) {
        while (name.size() < 180) {
            name += "-long";
        }
    }
    if (!random.Chance(150)) {
        name += Pick(random, Separators);
        name += Base36(index);
    }
    name += Pick(random, Extensions);
    name = TreeFolder::Fit(std::move(name));
    while (!used.insert(TreeFolder::NameKey(name)).second) {
        name += "~";
        name += Base36(random.Below(36 * 36));
    }
    return name;
}

std::string DrawFolderName(TreeRandom& random, std::unordered_set<std::string>& used,
                           std::size_t index) {
    std::string name(Pick(random, FolderStems));
    if (!random.Chance(200)) {
        name += Pick(random, Separators);
        name += Base36(index);
    }
    while (!used.insert(TreeFolder::NameKey(name)).second) {
        name += "+";
    }
    return name;
}

struct FolderPlan {
    std::string Path;
    std::size_t Parent = 0;
    int Depth = 0;
    std::size_t FileCount = 0;
    std::unordered_set<std::string> UsedNames;
};

std::vector<FolderPlan> PlanFolders(const std::string& root, const TreeShape& shape,
                                    TreeRandom& random) {
    const std::size_t average = shape.AverageFilesPerFolder == 0 ? 1 : shape.AverageFilesPerFolder;
    const std::size_t perFolderCap = shape.MaxFilesPerFolder == 0 ? 1 : shape.MaxFilesPerFolder;
    std::size_t folderCount = (shape.FileCount + average - 1) / average;
    // Enough folders that the cap can hold every file, even with uneven weights.
    folderCount = std::max(folderCount, (shape.FileCount + perFolderCap - 1) / perFolderCap);
    folderCount = std::max<std::size_t>(folderCount, 1);

    std::vector<FolderPlan> folders(folderCount);
    folders[0].Path = root;
    for (std::size_t i = 1; i < folderCount; ++i) {
        std::size_t parent = random.Below(i);
        while (folders[parent].Depth >= shape.MaxDepth && parent != 0) {
            parent = folders[parent].Parent;
        }
        folders[i].Parent = parent;
        folders[i].Depth = folders[parent].Depth + 1;
        folders[i].Path = JoinTreePath(folders[parent].Path,
                                       DrawFolderName(random, folders[parent].UsedNames, i));
    }

    // Uneven shares: some folders empty, some four times the others.
    std::vector<std::uint64_t> weights(folderCount);
    std::uint64_t weightSum = 0;
    for (auto& weight : weights) {
        weight = random.Chance(50) ? 0 : 1 + random.Below(4);
        weightSum += weight;
    }
    if (weightSum == 0) {
        weights[0] = weightSum = 1;
    }
    std::size_t assigned = 0;
    for (std::size_t i = 0; i < folderCount; ++i) {
        const std::size_t share =
            static_cast<std::size_t>(shape.FileCount * weights[i] / weightSum);
        folders[i].FileCount = std::min(share, perFolderCap);
        assigned += folders[i].FileCount;
    }
    // What rounding and the cap left over goes round the folders that still have room.
    for (std::size_t i = 0; assigned < shape.FileCount; i = (i + 1) % folderCount) {
        if (folders[i].FileCount < perFolderCap) {
            ++folders[i].FileCount;
            ++assigned;
        }
    }
    return folders;
}

} // namespace

std::string JoinTreePath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == TreeFolder::Separator) {
        return folder + name;
    }
    return folder + TreeFolder::Separator + name;
}

GeneratedTree GenerateTree(const std::string& folder, const TreeShape& shape) {
    std::string root = folder;
    if (root.size() > 1 && root.back() == TreeFolder::Separator) {
        root.pop_back();
    }
    TreeFolder::EnsureEmpty(root);

    TreeRandom random(shape.Seed);
    std::vector<FolderPlan> folders = PlanFolders(root, shape, random);

    GeneratedTree tree;
    tree.FolderCount = folders.size() - 1;
    tree.Files.reserve(shape.FileCount);
    // Parents come before their children in the plan, so one pass creates every folder.
    for (std::size_t i = 0; i < folders.size(); ++i) {
        FolderPlan& plan = folders[i];
        if (i != 0) {
            TreeFolder::Make(plan.Path);
        }
        TreeFolder folder(plan.Path);
        for (std::size_t n = 0; n < plan.FileCount; ++n) {
            const std::string name = DrawFileName(random, plan.UsedNames, n);
            GeneratedFile file;
            file.Path = JoinTreePath(plan.Path, name);
            file.SizeBytes = DrawSize(random);
            file.LastWriteTime = DrawLastWriteTime(random);
            folder.MakeFile(name, file);
            tree.Files.push_back(std::move(file));
        }
    }
    return tree;
}

GeneratedCounts GenerateDeepTree(const std::string& folder, std::size_t levels,
                                 std::uint64_t seed) {
    TreeFolder::EnsureEmpty(folder);
    TreeRandom random(seed);
    GeneratedCounts counts;
    counts.ScanFolder = folder;
    // One folder open at a time, entered from the one above: the paths grow far beyond what
    // the system takes as a whole.
    TreeFolder current(folder);
    std::string where = folder; // for messages only: the depth, not the whole path
    for (std::size_t level = 0; level <= levels; ++level) {
        for (const char* name : {"a.bin", "b.dat", "c.iso"}) {
            GeneratedFile file;
            file.Path = where + TreeFolder::Separator + name;
            file.SizeBytes = DrawSize(random);
            file.LastWriteTime = DrawLastWriteTime(random);
            current.MakeFile(name, file);
            ++counts.FileCount;
        }
        if (level == levels) {
            break;
        }
        where = folder + " at depth " + std::to_string(level + 1);
        current.EnterNewFolder("d", where);
        ++counts.FolderCount;
    }
    return counts;
}

GeneratedCounts GenerateLinkFarm(const std::string& folder, std::size_t links, std::uint64_t seed) {
    TreeFolder::EnsureEmpty(folder);
    TreeRandom random(seed);
    GeneratedCounts counts;
    const std::string targets = JoinTreePath(folder, "targets");
    counts.ScanFolder = JoinTreePath(folder, "links");
    TreeFolder::Make(targets);
    TreeFolder::Make(counts.ScanFolder);
    TreeFolder linksFolder(counts.ScanFolder);
    for (std::size_t n = 0; n < links; ++n) {
        const std::string number = std::to_string(n);
        const std::string target = JoinTreePath(targets, "t" + number);
        TreeFolder::Make(target);
        GeneratedFile file;
        file.Path = JoinTreePath(target, "f.bin");
        file.SizeBytes = DrawSize(random);
        file.LastWriteTime = DrawLastWriteTime(random);
        TreeFolder(target).MakeFile("f.bin", file);
        const std::string linkName = "l" + number;
        linksFolder.MakeFolderLink(linkName,
                                   std::string("..") + TreeFolder::Separator + "targets" +
                                       TreeFolder::Separator + "t" + number,
                                   JoinTreePath(counts.ScanFolder, linkName));
        ++counts.FileCount;
        ++counts.FolderCount;
        ++counts.LinkCount;
    }
    counts.FolderCount += 2;
    return counts;
}

bool WriteManifest(const std::string& manifestPath, const std::vector<GeneratedFile>& files,
                   std::error_code& error) {
    error.clear();
    std::FILE* out = std::fopen(manifestPath.c_str(), "w");
    if (out == nullptr) {
        error.assign(errno, std::generic_category());
        return false;
    }
    for (const GeneratedFile& file : files) {
        std::fprintf(out, "%llu\t", static_cast<unsigned long long>(file.SizeBytes));
        std::fwrite(file.Path.data(), 1, file.Path.size(), out);
        std::fputc('\n', out);
    }
    const bool failed = std::ferror(out) != 0;
    const int writeErrno = errno;
    if (std::fclose(out) != 0 || failed) {
        error.assign(failed ? writeErrno : errno, std::generic_category());
        if (!error) {
            error = std::make_error_code(std::errc::io_error);
        }
        return false;
    }
    return true;
}

GeneratedCounts GenerateFolderHeavyTree(const std::string& folder, std::size_t folders,
                                        std::size_t filesPerFolder, std::uint64_t seed) {
    constexpr std::size_t groupSize = 500;
    TreeFolder::EnsureEmpty(folder);
    TreeRandom random(seed);
    GeneratedCounts counts;
    counts.ScanFolder = folder;
    for (std::size_t n = 0; n < folders; ++n) {
        const std::string group = JoinTreePath(folder, "g" + std::to_string(n / groupSize));
        if (n % groupSize == 0) {
            TreeFolder::Make(group);
            ++counts.FolderCount;
        }
        const std::string module = JoinTreePath(group, "m" + std::to_string(n));
        TreeFolder::Make(module);
        ++counts.FolderCount;
        if (filesPerFolder == 0) {
            continue;
        }
        TreeFolder files(module);
        for (std::size_t f = 0; f < filesPerFolder; ++f) {
            GeneratedFile file;
            file.Path = JoinTreePath(module, "f" + std::to_string(f) + ".js");
            file.SizeBytes = DrawSize(random) % 65536;
            file.LastWriteTime = DrawLastWriteTime(random);
            files.MakeFile("f" + std::to_string(f) + ".js", file);
            ++counts.FileCount;
        }
    }
    return counts;
}
