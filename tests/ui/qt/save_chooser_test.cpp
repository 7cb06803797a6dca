#include "ui/qt/save_chooser.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"
#include "tests/ui/qt/dialog_rig.h"

namespace tovrin::testing {
namespace {

constexpr std::size_t CAPACITY = DUMP_PATH_SIZE;

// The chooser run the way the dialog runs it, starting from `start` in a buffer of its own.
struct Choice {
    explicit Choice(const std::string& start) { std::strcpy(path, start.c_str()); }
    bool run() { return run_save_chooser(&owner, path, CAPACITY); }

    QWidget owner;
    char path[CAPACITY] = {};
};

QString q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

struct TypedName {
    const char* name;
    const char* stored;  // what the chooser returns, in the folder it started in
};

void PrintTo(const TypedName& typed, std::ostream* out) {
    *out << typed.name;
}

class ChooserNames : public ::testing::TestWithParam<TypedName> {};

TEST_P(ChooserNames, StoresTheFullPathWithTxtAddedToANameWithoutExtension) {
    TempDir dir;
    Choice choice(dir.path("start.txt").string());
    when_active([&](QFileDialog& chooser) {
        EXPECT_EQ(chooser.nameFilters(), QStringList({"Text Files (*.txt)", "All Files (*.*)"}));
        EXPECT_EQ(chooser.selectedNameFilter(), "Text Files (*.txt)");
        enter_file_name(chooser, GetParam().name);
    });
    ASSERT_TRUE(choice.run());
    EXPECT_EQ(std::string(choice.path), dir.path(GetParam().stored).string());
}

INSTANTIATE_TEST_SUITE_P(Names, ChooserNames,
                         ::testing::Values(TypedName{"report", "report.txt"},
                                           TypedName{"report.log", "report.log"},
                                           TypedName{"start.txt", "start.txt"}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST(SaveChooser, StartsFromThePreviousChoice) {
    TempDir dir;
    Choice choice(dir.path("old.txt").string());
    when_active([&](QFileDialog& chooser) {
        EXPECT_EQ(chooser.directory().absolutePath(), q(dir.path("")).chopped(1));
        auto* name = chooser.findChild<QLineEdit*>("fileNameEdit");
        EXPECT_EQ(name->text(), "old.txt");
        QTest::keyClick(name, Qt::Key_Return);
    });
    ASSERT_TRUE(choice.run());
    EXPECT_EQ(std::string(choice.path), dir.path("old.txt").string());
}

TEST(SaveChooser, AsksBeforeAnExistingFileIsReplaced) {
    TempDir dir;
    std::filesystem::create_directory(dir.path("keep"));
    {
        std::FILE* file = std::fopen(dir.path("keep/sel.txt").c_str(), "w");
        std::fclose(file);
    }
    Choice choice(dir.path("keep/sel.txt").string());
    QString question_text;
    int questions = 0;
    when_active([&](QFileDialog& chooser) {
        // No at the first question keeps the chooser open; Yes at the second accepts.
        when_active([&](QMessageBox& question) {
            question_text = question.text();
            ++questions;
            question.button(QMessageBox::No)->click();
        });
        enter_file_name(chooser, "sel");
        EXPECT_TRUE(chooser.isVisible());
        when_active([&](QMessageBox& question) {
            ++questions;
            question.button(QMessageBox::Yes)->click();
        });
        enter_file_name(chooser, "sel");
    });
    ASSERT_TRUE(choice.run());
    EXPECT_EQ(questions, 2);
    EXPECT_TRUE(question_text.contains("sel.txt")) << question_text.toStdString();
    EXPECT_EQ(std::string(choice.path), dir.path("keep/sel.txt").string());
}

TEST(SaveChooser, AFolderNameOpensTheFolder) {
    TempDir dir;
    std::filesystem::create_directory(dir.path("sub"));
    Choice choice(dir.path("start.txt").string());
    when_active([&](QFileDialog& chooser) {
        enter_file_name(chooser, "sub");
        EXPECT_TRUE(chooser.isVisible());
        EXPECT_EQ(chooser.directory().absolutePath(), q(dir.path("sub")));
        enter_file_name(chooser, "sel");
    });
    ASSERT_TRUE(choice.run());
    EXPECT_EQ(std::string(choice.path), dir.path("sub/sel.txt").string());
    EXPECT_FALSE(std::filesystem::exists(dir.path("sub.txt")));
}

struct Refusal {
    const char* why;
    // The typed name: a path whose folder does not exist, or one that does not fit.
    std::string (*name)(const TempDir& dir);
    const char* message;
};

void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.why;
}

class ChooserRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(ChooserRefusals, SaysWhyAndStaysOpen) {
    TempDir dir;
    const std::string start = dir.path("start.txt").string();
    Choice choice(start);
    QString message;
    when_active([&](QFileDialog& chooser) {
        when_active([&](QMessageBox& box) {
            message = box.text();
            box.accept();
        });
        enter_file_name(chooser, QString::fromStdString(GetParam().name(dir)));
        EXPECT_TRUE(chooser.isVisible());
        chooser.reject();
    });
    EXPECT_FALSE(choice.run());
    EXPECT_TRUE(message.contains(GetParam().message)) << message.toStdString();
    EXPECT_EQ(std::string(choice.path), start) << "left as it was";
}

// A name in the test's folder that makes the full path exactly `length` bytes.
std::string name_for_length(const TempDir& dir, std::size_t length) {
    const std::size_t folder = dir.path("").string().size();
    return std::string(length - folder - 4, 'n') + ".txt";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ChooserRefusals,
    ::testing::Values(
        Refusal{"missing folder",
                [](const TempDir& dir) { return dir.path("missing/sel.txt").string(); },
                "does not exist"},
        Refusal{"missing folder, name without extension",
                [](const TempDir& dir) { return dir.path("missing/sub").string(); },
                "does not exist"},
        Refusal{"one byte over", [](const TempDir& dir) { return name_for_length(dir, CAPACITY); },
                "too long"}),
    [](const auto& info) {
        std::string name = info.param.why;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
        return name;
    });

TEST(SaveChooser, TakesTheLongestPathThatFits) {
    TempDir dir;
    Choice choice(dir.path("start.txt").string());
    const std::string name = name_for_length(dir, CAPACITY - 1);
    when_active(
        [&](QFileDialog& chooser) { enter_file_name(chooser, QString::fromStdString(name)); });
    ASSERT_TRUE(choice.run());
    EXPECT_EQ(std::strlen(choice.path), CAPACITY - 1);
    EXPECT_EQ(std::string(choice.path), dir.path(name).string());
}

}  // namespace
}  // namespace tovrin::testing
