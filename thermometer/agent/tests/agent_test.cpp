// The agent component and the agent sequence, offscreen, with the real
// character and its animations shortened to nothing.
#include "agent_control.h"
#include "agent_sequence.h"
#include "agent_stage.h"
#include "agent_window.h"
#include "automation.h"
#include "com_registry.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

std::mutex g_lock;
std::vector<std::string> g_spoken;
std::vector<std::string> g_boxes;

void RecordSpeech(const std::string& text)
{
    std::lock_guard lock(g_lock);
    g_spoken.push_back(text);
}

void RecordBox(void*, const char16_t* caption, const char16_t* text)
{
    std::lock_guard lock(g_lock);
    g_boxes.push_back(Utf16ToUtf8(caption) + "|" + Utf16ToUtf8(text));
}

// Pixels close to the figure's turquoise.
int SkinPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 200 && std::abs(c.red() - 43) < 12 && std::abs(c.green() - 179) < 12 &&
                std::abs(c.blue() - 163) < 12)
                ++count;
        }
    return count;
}

AgentWindow* FindAgentWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* agent = qobject_cast<AgentWindow*>(w))
            return agent;
    return nullptr;
}

class AgentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterAgentControl();
        SetAgentTimeScale(0);
        SetAgentSpeechFunction(RecordSpeech);
        SetAutomationBoxFunction(RecordBox);
        ClearAgentRequestHistory();
        std::lock_guard lock(g_lock);
        g_spoken.clear();
        g_boxes.clear();
    }
    void TearDown() override
    {
        SetAutomationBoxFunction(nullptr);
        SetAgentSpeechFunction(nullptr);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Runs the sequence on its own thread while this (GUI) thread serves it.
    // changeDuringShow: the temperature the reader stores while the
    // character is in its wait after Show (0: none).
    void RunSequence(std::int32_t temperature, std::int32_t changeDuringShow = 0)
    {
        std::atomic<std::int32_t> whole{temperature};
        AgentSequenceWaits waits{0, 0, 0, 0, {}};
        waits.wait = [&whole, changeDuringShow, first = true](int) mutable {
            if (first && changeDuringShow)
                whole = changeDuringShow;
            first = false;
        };
        AgentSequenceHost host;
        host.temperatureWhole = &whole;
        host.setControlsEnabled = [this](bool enabled) {
            controls_.push_back(enabled);
            onGuiThread_ = onGuiThread_ && QThread::currentThread() == qApp->thread();
        };
        std::atomic<bool> done{false};
        std::thread sequence([&] {
            RunAgentSequence(host, waits);
            done = true;
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        sequence.join();
        QCoreApplication::sendPostedEvents();
    }

    std::vector<bool> controls_;
    bool onGuiThread_ = true;
};

TEST_F(AgentTest, SequenceDrivesTheCharacterInOrder)
{
    RunSequence(23);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const std::string moveTo =
        "MoveTo " + std::to_string(screen.width() / 2 - 50) + " " + std::to_string(screen.height() / 4);
    const std::vector<std::string> expected = {"Show",       moveTo,         "Play Greet",
                                               "Speak Current temperature 23 °C", "Play Reading",
                                               "Stop",       "Play Hide"};
    EXPECT_EQ(AgentRequestHistory(), expected);
    EXPECT_EQ(controls_, (std::vector<bool>{true}));
    EXPECT_TRUE(onGuiThread_);
    std::lock_guard lock(g_lock);
    EXPECT_EQ(g_spoken, std::vector<std::string>{"Current temperature 23 degrees Celsius"});
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(AgentTest, NegativeTemperatureIsSaidWithItsSign)
{
    RunSequence(-5);
    const std::vector<std::string> history = AgentRequestHistory();
    EXPECT_NE(std::find(history.begin(), history.end(), "Speak Current temperature -5 °C"), history.end());
    std::lock_guard lock(g_lock);
    EXPECT_EQ(g_spoken, std::vector<std::string>{"Current temperature -5 degrees Celsius"});
}

TEST_F(AgentTest, TemperatureIsReadAfterTheWaitThatFollowsShow)
{
    RunSequence(23, 31);
    const std::vector<std::string> history = AgentRequestHistory();
    ASSERT_GE(history.size(), 4u);
    EXPECT_EQ(history[0], "Show");
    EXPECT_EQ(history[3], "Speak Current temperature 31 °C");
}

TEST_F(AgentTest, MissingAgentShowsOneBoxAndEnablesTheControlsAgain)
{
    ASSERT_EQ(RevokeAgentControl(), S_OK);
    RunSequence(23);
    RegisterAgentControl();
    EXPECT_TRUE(AgentRequestHistory().empty());
    EXPECT_EQ(controls_, (std::vector<bool>{true}));
    std::lock_guard lock(g_lock);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0],
              "Ошибка|Member:\t  Agent.Control.1\r\n"
              "Function:\t  CreateObject\t\t\r\n"
              "Error In:\t  CreateObjectEx\r\n"
              "Error:\t  Недопустимая строка класса\r\n"
              "Code:\t  800401f3\r\n"
              "Source:\t  Application");
}

class AgentComponentTest : public AgentTest {
protected:
    void SetUp() override
    {
        AgentTest::SetUp();
        AutomationInit(1, 1);
        SetErrorDisplay(0);
        ASSERT_EQ(CreateObject(u"Agent.Control.1", nullptr, &agent_), S_OK);
    }
    void TearDown() override
    {
        SafeRelease(agent_);
        AutomationShutdown(1);
        AgentTest::TearDown();
    }
    IDispatch* agent_ = nullptr;
};

TEST_F(AgentComponentTest, UnknownCharacterFailsWithAnException)
{
    EXPECT_EQ(CallMethod(agent_, u"Characters.Load(%T)", u"Bob"), DISP_E_EXCEPTION);
    const AutomationErrorRecord* record = GetAutomationErrorRecord();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(Utf16ToUtf8(record->description), "The character 'Bob' could not be found");
    EXPECT_EQ(Utf16ToUtf8(record->source), "Agent.Control.1");
    EXPECT_EQ(record->exceptionCode, Code(0x80070002));
    EXPECT_EQ(Utf16ToUtf8(record->function), "CallMethod");

    IDispatch* character = nullptr;
    EXPECT_EQ(GetValue(u"%o", &character, agent_, u"Characters(%T)", u"Bob"), DISP_E_EXCEPTION);
    EXPECT_EQ(character, nullptr);
    EXPECT_EQ(Utf16ToUtf8(GetAutomationErrorRecord()->description), "The character 'Bob' is not loaded");
}

TEST_F(AgentComponentTest, CharacterMembers)
{
    std::int32_t connected = 0;
    ASSERT_EQ(PutValue(agent_, u"Connected = %b", 1), S_OK);
    ASSERT_EQ(GetValue(u"%b", &connected, agent_, u"Connected"), S_OK);
    EXPECT_EQ(connected, -1);
    ASSERT_EQ(CallMethod(agent_, u"Characters.Load(%T)", u"genie"), S_OK);  // names ignore case
    IDispatch* character = nullptr;
    ASSERT_EQ(GetValue(u"%o", &character, agent_, u"Characters.Character(%T)", u"Genie"), S_OK);
    EXPECT_EQ(CallMethod(character, u"Play(%T)", u"Dance"), DISP_E_EXCEPTION);
    EXPECT_EQ(CallMethod(character, u"MoveTo(%d)", 1), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(CallMethod(character, u"MoveTo(%d,%T)", 1, u"x"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(CallMethod(character, u"Fly"), DISP_E_UNKNOWNNAME);
    ASSERT_EQ(CallMethod(character, u"Show"), S_OK);
    ASSERT_EQ(CallMethod(character, u"MoveTo(%d,%d)", 30, 200), S_OK);
    QCoreApplication::sendPostedEvents();

    AgentWindow* window = FindAgentWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(window->FigurePosition(), QPoint(30, 200));
    EXPECT_GT(SkinPixels(window->grab().toImage()), 1000);

    ASSERT_EQ(CallMethod(character, u"Play(%T)", u"Hide"), S_OK);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(window->isVisible());
    character->Release();
}

TEST_F(AgentComponentTest, StopDropsWhatIsStillQueued)
{
    SetAgentTimeScale(1e6);  // nothing finishes by itself during the test
    ASSERT_EQ(CallMethod(agent_, u"Characters.Load(%T)", u"Genie"), S_OK);
    IDispatch* character = nullptr;
    ASSERT_EQ(GetValue(u"%o", &character, agent_, u"Characters(%T)", u"Genie"), S_OK);
    CallMethod(character, u"Show");
    CallMethod(character, u"Play(%T)", u"Greet");
    CallMethod(character, u"Speak(%T)", u"never said");
    CallMethod(character, u"Stop");
    CallMethod(character, u"Play(%T)", u"Reading");
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(AgentRequestHistory(), (std::vector<std::string>{"Show", "Stop", "Play Reading"}));
    std::lock_guard lock(g_lock);
    EXPECT_TRUE(g_spoken.empty());
    character->Release();
}

TEST(AgentPicture, BalloonShowsTheText)
{
    AgentWindow window;
    AgentPose pose;
    pose.presence = 1;
    pose.balloon = "Current temperature 23 °C";
    window.SetPose(pose);
    const QImage image = window.grab().toImage();
    EXPECT_EQ(image.pixelColor(8, 40), QColor(255, 255, 225));
    // The window's shape follows the balloon and the figure.
    EXPECT_TRUE(window.mask().contains(QPoint(8, 40)));
    EXPECT_TRUE(window.mask().contains(QPoint(120, AgentWindow::kBalloonHeight + 72)));
    EXPECT_FALSE(window.mask().contains(QPoint(8, AgentWindow::kBalloonHeight + 40)));
    pose.balloon.clear();
    window.SetPose(pose);
    EXPECT_EQ(window.grab().toImage().pixelColor(8, 40).alpha(), 0);
    EXPECT_FALSE(window.mask().contains(QPoint(8, 40)));
}

TEST(AgentPicture, GreetingRaisesTheArm)
{
    AgentPose down;
    down.presence = 1;
    AgentPose up = down;
    up.wave = 1;
    auto render = [](const AgentPose& pose) {
        QImage image(AgentWindow::kFigureWidth, AgentWindow::kFigureHeight, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        PaintAgentFigure(painter, pose);
        return image;
    };
    // The raised right arm reaches above the shoulders.
    const QImage lowered = render(down);
    const QImage raised = render(up);
    int aboveShoulderLowered = 0, aboveShoulderRaised = 0;
    for (int y = 55; y < 100; ++y)
        for (int x = 153; x < 180; ++x) {
            aboveShoulderLowered += lowered.pixelColor(x, y).alpha() > 0;
            aboveShoulderRaised += raised.pixelColor(x, y).alpha() > 0;
        }
    EXPECT_EQ(aboveShoulderLowered, 0);
    EXPECT_GT(aboveShoulderRaised, 100);
    AgentPose gone;
    EXPECT_EQ(SkinPixels(render(gone)), 0);
}

TEST(AgentSpeech, DegreesAreWrittenOut)
{
    EXPECT_EQ(SpokenEnglish("Current temperature 23 °C"), "Current temperature 23 degrees Celsius");
    EXPECT_EQ(SpokenEnglish("Current temperature -1 °C"), "Current temperature -1 degree Celsius");
    EXPECT_EQ(SpokenEnglish("From 1 °C to 10°C"), "From 1 degree Celsius to 10 degrees Celsius");
    EXPECT_EQ(SpokenEnglish("no units"), "no units");
}

}  // namespace

int main(int argc, char** argv)
{
    // Headless unless told otherwise (test discovery runs without the
    // test environment).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
