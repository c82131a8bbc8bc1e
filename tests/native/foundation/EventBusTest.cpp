#include <gtest/gtest.h>

#include "foundation/EventBus.h"

namespace {

class Recorder : public IEventListener {
public:
    Recorder(const char* tag, std::vector<std::string>& log) : m_tag(tag), m_log(log) {}
    void OnEvent(const std::string& name) override { m_log.push_back(m_tag + ":" + name); }

private:
    std::string m_tag;
    std::vector<std::string>& m_log;
};

// Registers another listener from inside its own OnEvent.
class Recruiter : public IEventListener {
public:
    Recruiter(EventBus& bus, IEventListener& recruit) : m_bus(bus), m_recruit(recruit) {}
    void OnEvent(const std::string&) override { m_bus.Register(&m_recruit); }

private:
    EventBus& m_bus;
    IEventListener& m_recruit;
};

}  // namespace

TEST(EventBus, DeliversInRegistrationOrderOncePerListener) {
    EventBus bus;
    std::vector<std::string> log;
    bus.Notify("nobody-listens");   // no listeners: nothing happens, no crash

    Recorder a("a", log), b("b", log);
    bus.Register(&b);
    bus.Register(&a);
    bus.Register(&b);   // a second registration changes nothing
    bus.Register(nullptr);
    bus.Notify("store-on-server-option-set");
    bus.Notify("unknown-event");
    EXPECT_EQ(log, (std::vector<std::string>{"b:store-on-server-option-set",
                                             "a:store-on-server-option-set",
                                             "b:unknown-event", "a:unknown-event"}));

    log.clear();
    bus.Unregister(&b);
    bus.Notify("store-in-clipboard-option-set");
    EXPECT_EQ(log, (std::vector<std::string>{"a:store-in-clipboard-option-set"}));
}

TEST(EventBus, RegistrationDuringNotifyAppliesNextTime) {
    EventBus bus;
    std::vector<std::string> log;
    Recorder late("late", log);
    Recruiter recruiter(bus, late);
    bus.Register(&recruiter);
    bus.Notify("first");
    EXPECT_TRUE(log.empty());
    bus.Notify("second");
    EXPECT_EQ(log, (std::vector<std::string>{"late:second"}));
}

TEST(EventBus, InstanceIsOneObject) {
    EXPECT_EQ(&EventBus::Instance(), &EventBus::Instance());
}
