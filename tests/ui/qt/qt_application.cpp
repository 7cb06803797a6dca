// One QApplication for the whole test program, made before the first test runs, so that listing
// the tests needs no platform at all. A death test's child, which never reaches TearDown, deletes
// it itself before it exits.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

class QtApplication final : public ::testing::Environment {
  public:
    void SetUp() override { application_ = new QApplication(argc_, argv_); }
    void TearDown() override { delete application_; }

  private:
    int argc_ = 1;
    char name_[16] = "qt_dialog_tests";
    char* argv_[2] = {name_, nullptr};
    QApplication* application_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const qt_application =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
