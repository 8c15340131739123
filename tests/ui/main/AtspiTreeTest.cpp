// The real program as a screen reader meets it: on a real X server (Qt's AT-SPI bridge lives in
// the xcb platform), with the accessibility bus of at-spi2-core, read from the registry's root
// over that bus as Orca would. ctest runs this under dbus-run-session, so the bus launcher
// owns org.a11y.Bus on a private session bus and everything ends with the test.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <iostream>
#include <memory>
#include <optional>

namespace {

// An object on the accessibility bus: the connection that serves it and its path.
struct AtspiRef {
  QString service;
  QDBusObjectPath path;
};

QDBusArgument& operator<<(QDBusArgument& a, const AtspiRef& r) {
  a.beginStructure();
  a << r.service << r.path;
  a.endStructure();
  return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, AtspiRef& r) {
  a.beginStructure();
  a >> r.service >> r.path;
  a.endStructure();
  return a;
}

// One entry of GetRelationSet: its type and the objects at the other end.
struct AtspiRelation {
  uint type = 0;
  QList<AtspiRef> targets;
};

QDBusArgument& operator<<(QDBusArgument& a, const AtspiRelation& r) {
  a.beginStructure();
  a << r.type << r.targets;
  a.endStructure();
  return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, AtspiRelation& r) {
  a.beginStructure();
  a >> r.type >> r.targets;
  a.endStructure();
  return a;
}

}  // namespace

Q_DECLARE_METATYPE(AtspiRef)
Q_DECLARE_METATYPE(AtspiRelation)

namespace {

// The values of AtspiRole and AtspiStateType in at-spi2-core's atspi-constants.h.
constexpr uint kRoleComboBox = 11, kRoleFrame = 23, kRoleMenuItem = 35, kRolePushButton = 43,
               kRoleTable = 55, kRoleTree = 65, kRoleTreeTable = 66, kRoleCheckBox = 7,
               kRoleDialog = 16, kRoleColumnHeader = 10, kRoleTableColumnHeader = 57;
constexpr int kStateFocusable = 11, kStateShowing = 25;
constexpr uint kRelationLabelledBy = 2;

const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kProgram = QStringLiteral(WAVORAX_BINARY_DIR "/ui/wavorax");

struct Node {
  int depth = 0;
  QString name;
  QString label;  // the name of the label it is labelled by, which a screen reader says first
  QString roleName;
  uint role = 0;
  quint64 states = 0;
  bool Has(int state) const { return (states >> state) & 1U; }
};

// A program of the session, ended with the test.
class Child {
 public:
  ~Child() { Stop(); }
  QProcess process;
  void Stop() {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
      process.kill();
      process.waitForFinished(5000);
    }
  }
};

QString Executable(const QString& name) {
  QString found = QStandardPaths::findExecutable(name);
  if (found.isEmpty())
    found = QStandardPaths::findExecutable(
        name, {QStringLiteral("/usr/libexec"), QStringLiteral("/usr/lib/at-spi2-core"),
               QStringLiteral("/usr/libexec/at-spi2")});
  return found;
}

// The X server and the accessibility bus, shared by the cases; a reason to skip when one of them
// cannot start on this machine.
struct Session {
  QTemporaryDir runtime;  // the bus launcher's sockets, apart from any real session's
  Child xvfb, launcher;
  QString display;
  std::optional<QDBusConnection> a11y;
  QString unavailable;
};

Session* session = nullptr;

QString StartSession(Session& s) {
  const QString xvfb = Executable(QStringLiteral("Xvfb"));
  if (xvfb.isEmpty()) return QStringLiteral("Xvfb is not installed (scripts/install-deps)");
  // -displayfd picks a free display and names it on our standard output once it accepts clients.
  s.xvfb.process.start(
      xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
             QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
             QStringLiteral("tcp")});
  QByteArray number;
  const QDeadlineTimer xDeadline(30000);
  while (!number.endsWith('\n') && !xDeadline.hasExpired()) {
    if (!s.xvfb.process.waitForReadyRead(200) && s.xvfb.process.state() == QProcess::NotRunning)
      break;
    number += s.xvfb.process.readAllStandardOutput();
  }
  if (!number.endsWith('\n'))
    return QStringLiteral("Xvfb did not start: ") +
           QString::fromLocal8Bit(s.xvfb.process.readAllStandardError().right(400));
  s.display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());

  QDBusConnection sessionBus = QDBusConnection::sessionBus();
  if (!sessionBus.isConnected())
    return QStringLiteral("no session bus: run under dbus-run-session");
  const QString launcher = Executable(QStringLiteral("at-spi-bus-launcher"));
  if (launcher.isEmpty())
    return QStringLiteral("at-spi-bus-launcher is not installed (at-spi2-core)");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("DISPLAY"), s.display);
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), s.runtime.path());
  s.launcher.process.setProcessEnvironment(env);
  s.launcher.process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  s.launcher.process.start(launcher, {QStringLiteral("--launch-immediately")});
  // The launcher owns org.a11y.Bus once its bus runs; GetAddress then answers at once.
  QString address;
  const QDeadlineTimer busDeadline(30000);
  while (address.isEmpty() && !busDeadline.hasExpired() &&
         !s.launcher.process.waitForFinished(100)) {
    if (!sessionBus.interface()->isServiceRegistered(QStringLiteral("org.a11y.Bus"))) continue;
    const QDBusMessage reply =
        sessionBus.call(QDBusMessage::createMethodCall(
                            QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                            QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
                        QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ReplyMessage) address = reply.arguments().value(0).toString();
  }
  if (address.isEmpty()) return QStringLiteral("the accessibility bus did not start");
  s.a11y = QDBusConnection::connectToBus(address, QStringLiteral("a11y"));
  if (!s.a11y->isConnected()) return QStringLiteral("cannot connect to ") + address;
  return {};
}

class AtspiEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    session = new Session;
    session->unavailable = StartSession(*session);
    if (!session->unavailable.isEmpty())
      std::cout << "accessibility session unavailable: " << session->unavailable.toStdString()
                << "\n";
  }
  void TearDown() override {
    if (session->a11y) QDBusConnection::disconnectFromBus(QStringLiteral("a11y"));
    session->launcher.Stop();
    session->xvfb.Stop();
    delete session;
    session = nullptr;
  }
};

QDBusMessage Call(const AtspiRef& at, const QString& interface, const QString& method,
                  const QVariantList& arguments = {}) {
  QDBusMessage m = QDBusMessage::createMethodCall(at.service, at.path.path(), interface, method);
  m.setArguments(arguments);
  return session->a11y->call(m, QDBus::Block, 5000);
}

std::optional<QList<AtspiRef>> Children(const AtspiRef& at) {
  const QDBusMessage reply = Call(at, kAccessible, QStringLiteral("GetChildren"));
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  return qdbus_cast<QList<AtspiRef>>(reply.arguments().first());
}

// One object's name, role and states; nothing when it does not answer (it may be going away
// while the window is built).
QString NameOf(const AtspiRef& at) {
  const QDBusMessage name = Call(at, QStringLiteral("org.freedesktop.DBus.Properties"),
                                 QStringLiteral("Get"), {kAccessible, QStringLiteral("Name")});
  if (name.type() != QDBusMessage::ReplyMessage || name.arguments().isEmpty()) return {};
  return qvariant_cast<QDBusVariant>(name.arguments().first()).variant().toString();
}

std::optional<Node> Read(const AtspiRef& at, int depth) {
  Node n;
  n.depth = depth;
  const QDBusMessage name = Call(at, QStringLiteral("org.freedesktop.DBus.Properties"),
                                 QStringLiteral("Get"), {kAccessible, QStringLiteral("Name")});
  const QDBusMessage role = Call(at, kAccessible, QStringLiteral("GetRole"));
  const QDBusMessage roleName = Call(at, kAccessible, QStringLiteral("GetRoleName"));
  const QDBusMessage state = Call(at, kAccessible, QStringLiteral("GetState"));
  const QDBusMessage relations = Call(at, kAccessible, QStringLiteral("GetRelationSet"));
  for (const QDBusMessage* r : {&name, &role, &roleName, &state, &relations})
    if (r->type() != QDBusMessage::ReplyMessage || r->arguments().isEmpty()) return {};
  n.name = qvariant_cast<QDBusVariant>(name.arguments().first()).variant().toString();
  n.role = role.arguments().first().toUInt();
  n.roleName = roleName.arguments().first().toString();
  const auto words = qdbus_cast<QList<uint>>(state.arguments().first());
  for (qsizetype i = 0; i < words.size() && i < 2; ++i) n.states |= quint64(words[i]) << (32 * i);
  for (const AtspiRelation& r : qdbus_cast<QList<AtspiRelation>>(relations.arguments().first()))
    if (r.type == kRelationLabelledBy)
      for (const AtspiRef& target : r.targets) n.label += NameOf(target);
  return n;
}

bool Walk(const AtspiRef& at, int depth, std::vector<Node>& out) {
  if (depth > 12 || out.size() > 3000) return true;
  const std::optional<Node> node = Read(at, depth);
  const std::optional<QList<AtspiRef>> children = Children(at);
  if (!node || !children) return false;
  out.push_back(*node);
  for (const AtspiRef& child : *children)
    if (!Walk(child, depth + 1, out)) return false;
  return true;
}

// The program's own application object among the registry's children, found by the process
// that owns its connection.
std::optional<AtspiRef> ApplicationOf(qint64 pid) {
  const std::optional<QList<AtspiRef>> applications =
      Children({QStringLiteral("org.a11y.atspi.Registry"),
                QDBusObjectPath(QStringLiteral("/org/a11y/atspi/accessible/root"))});
  if (!applications) return {};
  for (const AtspiRef& application : *applications) {
    const QDBusReply<uint> owner = session->a11y->interface()->servicePid(application.service);
    if (owner.isValid() && owner.value() == pid) return application;
  }
  return {};
}

QString Dump(const std::vector<Node>& tree) {
  QString text;
  for (const Node& n : tree)
    text +=
        QString(n.depth * 2, QLatin1Char(' ')) + n.roleName + QStringLiteral(" \"") + n.name +
        QStringLiteral("\"") +
        (n.label.isEmpty() ? QString()
                           : QStringLiteral(" labelled by \"") + n.label + QStringLiteral("\"")) +
        (n.Has(kStateShowing) ? QString() : QStringLiteral(" (hidden)")) + QLatin1Char('\n');
  return text;
}

struct Expected {
  const char* name;
  std::vector<uint> roles;  // any of them
};

struct LookCase {
  const char* name;
  int useDesktopLook;
  std::vector<Expected> shown;
  std::vector<const char*> absent;  // no showing object by that name
};

void PrintTo(const LookCase& c, std::ostream* os) { *os << c.name; }

const std::vector<uint> kButton{kRolePushButton};
const std::vector<uint> kList{kRoleTree, kRoleTreeTable, kRoleTable};

std::vector<Expected> Commands() {
  return {{"Add Files", kButton},
          {"Add Folder", kButton},
          {"Remove All", kButton},
          {"Convert", kButton},
          {"Options", kButton},
          {"wavorax.example", kButton},
          {"Target format", {kRoleComboBox}},
          {"Files", kList}};
}

std::vector<Expected> WithCaption(std::vector<Expected> e) {
  e.push_back({"Help", kButton});
  e.push_back({"Minimize", kButton});
  e.push_back({"Close", kButton});
  return e;
}

bool Satisfied(const std::vector<Node>& tree, const LookCase& c, QStringList* missing) {
  bool ok = true;
  for (const Expected& e : c.shown) {
    const bool found = std::any_of(tree.begin(), tree.end(), [&](const Node& n) {
      return n.Has(kStateShowing) &&
             (n.name == QLatin1String(e.name) || n.label == QLatin1String(e.name)) &&
             std::find(e.roles.begin(), e.roles.end(), n.role) != e.roles.end();
    });
    if (!found && missing) *missing << QString::fromLatin1(e.name);
    ok = ok && found;
  }
  return ok;
}

class AtspiTree : public testing::TestWithParam<LookCase> {
 protected:
  void SetUp() override {
    ASSERT_NE(session, nullptr);
    if (!session->unavailable.isEmpty()) GTEST_SKIP() << session->unavailable.toStdString();
  }
};

TEST_P(AtspiTree, ListsTheControlsByName) {
  const LookCase& c = GetParam();
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QString config = home.filePath(QStringLiteral(".config"));
  ASSERT_TRUE(QDir().mkpath(config + QStringLiteral("/Quelbrook")));
  {
    // Not a first run, so that the help does not open over the window.
    QFile file(config + QStringLiteral("/Quelbrook/Wavorax.conf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[Options]\nFirstRun=0\nUseDesktopLook=%1\n")
                   .arg(c.useDesktopLook)
                   .toUtf8());
  }

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORMTHEME", "WAYLAND_DISPLAY", "AT_SPI_BUS_ADDRESS",
                           "LANGUAGE", "LC_ALL", "LC_MESSAGES", "QT_FATAL_WARNINGS"})
    env.remove(QString::fromLatin1(name));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.insert(QStringLiteral("DISPLAY"), session->display);
  env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
  env.insert(QStringLiteral("HOME"), home.path());
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), session->runtime.path());
  env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
  Child program;
  program.process.setProcessEnvironment(env);
  program.process.setProcessChannelMode(QProcess::MergedChannels);
  program.process.start(kProgram, {});
  ASSERT_TRUE(program.process.waitForStarted(10000)) << kProgram.toStdString();

  // The bridge registers the program with the registry, then the window's objects come as it
  // is built and shown; the tree is read again until everything is there, or for a few seconds
  // more once the window shows.
  std::vector<Node> tree;
  QStringList missing;
  QDeadlineTimer deadline(60000);
  bool shown = false, done = false;
  while (!done && !deadline.hasExpired()) {
    if (program.process.waitForFinished(100)) break;
    const std::optional<AtspiRef> application = ApplicationOf(program.process.processId());
    if (!application) continue;
    std::vector<Node> now;
    if (!Walk(*application, 0, now)) continue;
    tree = std::move(now);
    missing.clear();
    done = Satisfied(tree, c, &missing);
    if (!shown && std::any_of(tree.begin(), tree.end(),
                              [](const Node& n) { return n.depth == 1 && n.Has(kStateShowing); })) {
      shown = true;
      deadline = QDeadlineTimer(std::min<qint64>(deadline.remainingTime(), 10000));
    }
  }
  ASSERT_EQ(program.process.state(), QProcess::Running)
      << "the program ended: " << program.process.readAll().toStdString();
  std::cout << Dump(tree).toStdString();
  ASSERT_TRUE(done) << "not listed: " << missing.join(QStringLiteral(", ")).toStdString() << "\n"
                    << Dump(tree).toStdString();

  // The window itself, and every control a user can reach, speaks its name.
  EXPECT_TRUE(std::any_of(tree.begin(), tree.end(), [](const Node& n) {
    return (n.role == kRoleFrame || n.role == kRoleDialog) && n.name == QLatin1String("Wavorax");
  }));
  for (const Node& n : tree) {
    if (!n.Has(kStateShowing)) continue;
    const uint controls[] = {kRolePushButton, kRoleComboBox,     kRoleCheckBox,
                             kRoleMenuItem,   kRoleTree,         kRoleTreeTable,
                             kRoleTable,      kRoleColumnHeader, kRoleTableColumnHeader};
    if (std::find(std::begin(controls), std::end(controls), n.role) != std::end(controls)) {
      EXPECT_FALSE(n.name.trimmed().isEmpty())
          << "a " << n.roleName.toStdString() << " without a name";
    }
    // Its name is only the item it shows: what it is for comes from its label.
    if (n.role == kRoleComboBox) {
      EXPECT_FALSE(n.label.isEmpty())
          << "the combo box \"" << n.name.toStdString() << "\" has no label";
    }
    if (n.role == kRolePushButton) {
      EXPECT_TRUE(n.Has(kStateFocusable)) << n.name.toStdString() << " is out of Tab's reach";
    }
  }
  for (const char* name : c.absent)
    EXPECT_FALSE(std::any_of(
        tree.begin(), tree.end(),
        [&](const Node& n) { return n.Has(kStateShowing) && n.name == QLatin1String(name); }))
        << name << " is announced though it is not shown";
}

INSTANTIATE_TEST_SUITE_P(Looks, AtspiTree,
                         testing::Values(LookCase{"Skinned", 0, WithCaption(Commands()), {}},
                                         LookCase{"Desktop", 1, Commands(), {"Minimize", "Close"}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  qDBusRegisterMetaType<AtspiRef>();
  qDBusRegisterMetaType<QList<AtspiRef>>();
  qDBusRegisterMetaType<AtspiRelation>();
  qDBusRegisterMetaType<QList<AtspiRelation>>();
  qDBusRegisterMetaType<QList<uint>>();
  testing::AddGlobalTestEnvironment(new AtspiEnvironment);
  return RUN_ALL_TESTS();
}
