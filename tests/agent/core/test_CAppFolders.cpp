#include "core/CAppFolders.h"

#include "common/AppPaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

// The data directory ends in "/", so the stored folders carry a doubled "/"; expansion
// normalises that.
QString dataDir()
{
    return CAppFolders::normalizePath(configDir());
}

QString cwd()
{
    return QDir::currentPath();
}

class EnvVar
{
public:
    EnvVar(const char* name, const QByteArray& value) : m_name(name) { qputenv(name, value); }
    ~EnvVar() { qunsetenv(m_name); }

private:
    const char* m_name;
};

} // namespace

TEST(CAppFolders, FoldersAndVariables)
{
    const CAppFolders withTemplate(QStringLiteral("web/v3_custom_7"));
    EXPECT_EQ(withTemplate.folder(CAppFolders::AppFilesFolder), configDir() + "/templates/web/v3_custom_7");
    EXPECT_EQ(withTemplate.folder(CAppFolders::MibsFolder), configDir() + "/mibs");
    EXPECT_EQ(withTemplate.folder(2), QString());
    EXPECT_EQ(withTemplate.folder(-1), QString());
    EXPECT_EQ(withTemplate.variables().keys(),
              (QStringList{"$AppFiles", "$CorvaneDataDir", "$CorvaneInstallDir"}));
    EXPECT_EQ(withTemplate.variables().value("$CorvaneDataDir"), configDir());
    EXPECT_EQ(withTemplate.variables().value("$CorvaneInstallDir"), installDir());

    for (const CAppFolders& none : {CAppFolders(), CAppFolders(QString())}) {
        EXPECT_EQ(none.folder(CAppFolders::AppFilesFolder), QString());
        EXPECT_EQ(none.folder(CAppFolders::MibsFolder), configDir() + "/mibs");
        EXPECT_FALSE(none.variables().contains("$AppFiles"));
    }
}

TEST(CAppFolders, TemplateFolderNameFromRecord)
{
    STemplateInfo custom;
    custom.id = 7;
    custom.number = 3;
    custom.name = QStringLiteral("web: \"a/b\\c*'d\"");
    custom.custom = true;
    EXPECT_EQ(CAppFolders::templateFolderName(custom), "web- -a-b-c--d-/v3_custom_7");
    EXPECT_EQ(CAppFolders(custom).folder(0), configDir() + "/templates/web- -a-b-c--d-/v3_custom_7");

    STemplateInfo standard = custom;
    standard.custom = false;
    EXPECT_EQ(CAppFolders::templateFolderName(standard), "web- -a-b-c--d-/v3_standard_7");
    standard.custom = Optional<bool>::null();
    EXPECT_EQ(CAppFolders::templateFolderName(standard), "web- -a-b-c--d-/v3_standard_7");

    // Unset fields read as empty values (with the warning of Optional).
    EXPECT_EQ(CAppFolders::templateFolderName(STemplateInfo()), "/v0_standard_0");
}

TEST(CAppFolders, NormalizeCollapsesSeparatorsButKeepsTheLeadingRun)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"a//b", "a/b"},       {"//srv//x", "//srv/x"}, {"a\\b", "a/b"},     {"\\\\srv\\x\\\\y", "//srv/x/y"},
        {"/", "/"},            {"///x////y", "///x/y"}, {"a/b/", "a/b/"},    {"a//", "a/"},
        {"", ""},              {"plain", "plain"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CAppFolders::normalizePath(c.in), QString(c.out)) << c.in;

    EXPECT_EQ(CAppFolders::replaceAndCollapse("$APPFILES//x/$appfiles", "$AppFiles", "/t/"), "/t/x/t/");
    EXPECT_EQ(CAppFolders::replaceAndCollapse("a//b", QString(), "x"), "a/b");
}

TEST(CAppFolders, ExpandsFolderAndEnvironmentVariables)
{
    EnvVar home("ZAM_TEST_HOME", "/home/tester");
    EnvVar refersToFolder("ZAM_TEST_SUB", "$CorvaneDataDir\\sub");
    const CAppFolders f(QStringLiteral("web/v3_custom_7"));
    const QString app = dataDir() + "templates/web/v3_custom_7";
    const struct {
        QString in;
        QString out;
    } cases[] = {
        {"$appfiles/x.py", app + "/x.py"},
        {"$APPFILES\\x.py", app + "/x.py"},
        {"$AppFiles//sub//x.py", app + "/sub/x.py"},
        {"$CorvaneDataDir/mibs/A.mib", dataDir() + "mibs/A.mib"},
        {"$corvanedatadir", dataDir()},
        {"$CorvaneInstallDir/bin", CAppFolders::normalizePath(installDir() + "/bin")},
        {"%ZAM_TEST_HOME%/a\\b", "/home/tester/a/b"},
        {"%zam_test_home%/a", "/home/tester/a"},
        {"%ZAM_TEST_SUB%/f", dataDir() + "sub/f"},            // an environment value with a folder variable
        {"%ZAM_TEST_UNSET%/x", cwd() + "/%ZAM_TEST_UNSET%/x"},  // unknown names stay
        {"$Nothing/x", cwd() + "/$Nothing/x"},
        {"rel/x", cwd() + "/rel/x"},
        {"/abs//x", "/abs/x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(f.expandPath(c.in), c.out) << c.in.toStdString();

    // Without a template "$AppFiles" is no variable.
    EXPECT_EQ(CAppFolders().expandPath("$AppFiles/x"), cwd() + "/$AppFiles/x");
}

TEST(CAppFolders, ResolvesChainsAndStopsOnMutualReferences)
{
    const QMap<QString, QString> vars{
        {"%A%", "%C%/a"},    // chain whose links come in both name orders
        {"%B%", "/b"},
        {"%C%", "%B%\\c"},
        {"%X%", "%Y%/x"},    // mutual references
        {"%Y%", "%X%//y"},
        {"%S%", "/s/%S%"},   // names itself
        {"%T%", "%S%/t"},    // refers to one that names itself
    };
    const QMap<QString, QString> r = CAppFolders::resolveVariables(vars);
    EXPECT_EQ(r.value("%A%"), "/b/c/a");
    EXPECT_EQ(r.value("%B%"), "/b");
    EXPECT_EQ(r.value("%C%"), "/b/c");
    EXPECT_EQ(r.value("%X%"), "%Y%/x");
    EXPECT_EQ(r.value("%Y%"), "%X%/y");
    EXPECT_EQ(r.value("%S%"), "/s/%S%");
    EXPECT_EQ(r.value("%T%"), "%S%/t");

    // References that multiply at every pass stop without growing without bound.
    const QMap<QString, QString> doubling{{"%P%", QString("%Q%").repeated(40)}, {"%Q%", QString("%P%").repeated(40)}};
    const QMap<QString, QString> d = CAppFolders::resolveVariables(doubling);
    EXPECT_EQ(d, doubling);

    // So do chains whose expansion would outgrow any path: those keep their own folder.
    const QMap<QString, QString> wide{{"%A%", QString("%B%").repeated(40)},
                                      {"%B%", QString("%C%").repeated(40)},
                                      {"%C%", QString("%D%").repeated(40)},
                                      {"%D%", QString(200, 'x')}};
    const QMap<QString, QString> w = CAppFolders::resolveVariables(wide);
    EXPECT_EQ(w.value("%A%"), wide.value("%A%"));
    EXPECT_EQ(w.value("%B%"), wide.value("%B%"));
    EXPECT_EQ(w.value("%C%"), QString(8000, 'x'));

    EnvVar a("ZAM_TEST_LOOP_A", "%ZAM_TEST_LOOP_B%/a");
    EnvVar b("ZAM_TEST_LOOP_B", "%ZAM_TEST_LOOP_A%/b");
    EXPECT_EQ(CAppFolders().expandPath("%ZAM_TEST_LOOP_A%"), cwd() + "/%ZAM_TEST_LOOP_A%/b/a");
}

TEST(CAppFolders, CollapseIsTheInverseOfExpandForFolders)
{
    const CAppFolders f(QStringLiteral("web/v3_custom_7"));
    const QString app = dataDir() + "templates/web/v3_custom_7";
    EXPECT_EQ(f.collapsePath(app + "/x.py"), "$AppFiles/x.py");
    EXPECT_EQ(f.collapsePath(app), "$AppFiles/");
    EXPECT_EQ(f.collapsePath(dataDir() + "mibs/a.mib"), "$CorvaneDataDir/mibs/a.mib");
    EXPECT_EQ(f.collapsePath("/elsewhere//x"), "/elsewhere/x");
    EXPECT_EQ(f.expandPath(f.collapsePath(app + "/x.py")), app + "/x.py");

    EXPECT_TRUE(f.samePath("$APPFILES/X.PY", app + "/x.py"));
    EXPECT_TRUE(f.samePath("$CorvaneDataDir/templates/web/v3_custom_7/x.py", "$AppFiles\\x.py"));
    EXPECT_FALSE(f.samePath("$AppFiles/x.py", "$AppFiles/y.py"));
}

TEST(CAppFolders, EnsureDirectory)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString deep = tmp.path() + "/a/b/c";
    EXPECT_TRUE(CAppFolders::ensureDirectory(deep));
    EXPECT_TRUE(QDir(deep).exists());
    EXPECT_TRUE(CAppFolders::ensureDirectory(deep));   // already there

    QFile file(tmp.path() + "/file");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(CAppFolders::ensureDirectory(tmp.path() + "/file/sub"));
    EXPECT_FALSE(CAppFolders::ensureDirectory(QString()));
}
