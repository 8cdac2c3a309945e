#include "UiTest.hpp"

namespace talvori::ui::testing {
namespace {

using StateTest = UiTest;

struct Model {
    Observable<int> left{0};
    Observable<int> right{0};
    Observable<bool> showsDetail{true};
};

struct Counts {
    int parent = 0;
    int left = 0;
    int right = 0;
};

struct Reader {
    Observable<int>* value;
    int* count;
    bool operator==(const Reader&) const = default;
    View body(ViewContext<NoState>&) const {
        ++*count;
        return Text(std::to_string((*value)()));
    }
};

struct Panel {
    Model* model;
    Counts* counts;
    bool operator==(const Panel&) const = default;
    View body(ViewContext<NoState>&) const {
        ++counts->parent;
        return VStack({Reader{&model->left, &counts->left}, Reader{&model->right, &counts->right},
                       model->showsDetail() ? View(Text("detail")) : View()});
    }
};

TEST_F(StateTest, AChangeRebuildsOnlyTheViewsThatReadIt) {
    Model model;
    Counts counts;
    auto h = host(Panel{&model, &counts});
    EXPECT_EQ(counts.parent, 1);
    EXPECT_EQ(counts.left, 1);
    EXPECT_EQ(counts.right, 1);

    model.left.set(5);
    // Never inside the change: on a later turn.
    EXPECT_EQ(counts.left, 1);
    runUntilIdle();
    EXPECT_EQ(counts.parent, 1);
    EXPECT_EQ(counts.left, 2);
    EXPECT_EQ(counts.right, 1);
    EXPECT_TRUE(h->find(Query::byText("5")));

    // The parent rebuilds; its children's inputs are equal, so their bodies do not run.
    model.showsDetail.set(false);
    runUntilIdle();
    EXPECT_EQ(counts.parent, 2);
    EXPECT_EQ(counts.left, 2);
    EXPECT_EQ(counts.right, 1);
    EXPECT_FALSE(h->find(Query::byText("detail")));

    // Setting an equal value notifies nobody.
    model.right.set(0);
    runUntilIdle();
    EXPECT_EQ(counts.right, 1);
}

TEST_F(StateTest, SeveralChangesInOneTurnRebuildOnce) {
    Model model;
    Counts counts;
    auto h = host(Panel{&model, &counts});
    model.left.set(1);
    model.left.set(2);
    model.left.set(3);
    runUntilIdle();
    EXPECT_EQ(counts.left, 2);
    EXPECT_TRUE(h->find(Query::byText("3")));
}

struct Counter {
    std::string name;
    bool operator==(const Counter&) const = default;
    struct State {
        Observable<int> taps{0};
    };
    View body(ViewContext<State>& ctx) const {
        auto& taps = ctx.state.taps;
        return Button([&taps] { taps.set(taps.peek() + 1); },
                      Text(name + " " + std::to_string(taps())));
    }
};

struct CounterList {
    Observable<std::vector<std::string>>* names;
    Observable<int>* generation;
    View body(ViewContext<NoState>&) const {
        return VStack({ForEach((*names)(), [](const std::string& name) { return name; },
                               [](const std::string& name) { return Counter{name}; }),
                       View(Counter{"keyed"}).id((*generation)())});
    }
};

TEST_F(StateTest, StateFollowsIdentity) {
    Observable<std::vector<std::string>> names{{"a", "b", "c"}};
    Observable<int> generation{1};
    auto h = host(CounterList{&names, &generation});
    h->find(Query::byText("b 0")).click();
    runUntilIdle();
    h->find(Query::byText("keyed 0")).click();
    runUntilIdle();
    ASSERT_TRUE(h->find(Query::byText("b 1")));
    ASSERT_TRUE(h->find(Query::byText("keyed 1")));

    // Moving an item keeps its state; an item that leaves loses it.
    names.set({"c", "b"});
    runUntilIdle();
    EXPECT_TRUE(h->find(Query::byText("b 1")));
    names.set({"c"});
    runUntilIdle();
    names.set({"c", "b"});
    runUntilIdle();
    EXPECT_TRUE(h->find(Query::byText("b 0")));

    // Another id is another view.
    generation.set(2);
    runUntilIdle();
    EXPECT_TRUE(h->find(Query::byText("keyed 0")));
}

struct Lifecycle {
    Observable<bool>* shown;
    Observable<int>* value;
    std::vector<std::string>* log;
    View body(ViewContext<NoState>&) const {
        const int current = (*value)();
        if (!(*shown)()) return View();
        return Text("child")
            .onAppear([log = log] { log->push_back("appear"); })
            .onDisappear([log = log] { log->push_back("disappear"); })
            .onChange(
                current,
                [log = log](int old, int now) {
                    log->push_back("change " + std::to_string(old) + "->" + std::to_string(now));
                })
            .task([log = log]() -> Async {
                log->push_back("task start");
                const bool finished = co_await Task::sleep(1.0);
                log->push_back(finished ? "task done" : "task cancelled");
            });
    }
};

TEST_F(StateTest, AppearChangeDisappearAndTasksFollowTheView) {
    Observable<bool> shown{true};
    Observable<int> value{1};
    std::vector<std::string> log;
    auto h = host(Lifecycle{&shown, &value, &log});
    runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"appear", "task start"}));
    value.set(2);
    runUntilIdle();
    shown.set(false);
    runUntilIdle();
    advance(2);
    EXPECT_EQ(log, (std::vector<std::string>{"appear", "task start", "change 1->2", "disappear",
                                             "task cancelled"}));
}

// Reads its own state when it goes, as a field stopping its recorder does.
struct Farewell {
    std::vector<std::string>* log;
    struct State {
        std::string name = "kept";
    };
    View body(ViewContext<State>& ctx) const {
        return Text("farewell").onDisappear([&ctx, log = log] {
            log->push_back("disappear with " + ctx.state.name);
        });
    }
};

struct MaybeFarewell {
    Observable<bool>* shown;
    std::vector<std::string>* log;
    View body(ViewContext<NoState>&) const { return (*shown)() ? View(Farewell{log}) : View(); }
};

TEST_F(StateTest, DisappearingHandlersStillSeeTheirComponentsState) {
    Observable<bool> shown{true};
    std::vector<std::string> log;
    auto h = host(MaybeFarewell{&shown, &log});
    runUntilIdle();
    shown.set(false);
    runUntilIdle();
    EXPECT_EQ(log, std::vector<std::string>{"disappear with kept"});
}

TEST_F(StateTest, OnChangeCanRunForTheFirstValue) {
    std::vector<int> seen;
    Observable<int> value{7};
    struct Watcher {
        Observable<int>* value;
        std::vector<int>* seen;
        View body(ViewContext<NoState>&) const {
            return Text("w").onChange((*value)(), [seen = seen](int now) { seen->push_back(now); },
                                      true);
        }
    };
    auto h = host(Watcher{&value, &seen});
    value.set(8);
    runUntilIdle();
    EXPECT_EQ(seen, (std::vector<int>{7, 8}));
}

TEST_F(StateTest, WeakStateExpiresWithTheView) {
    Observable<bool> shown{true};
    std::weak_ptr<Counter::State> weak;
    struct Probe {
        std::weak_ptr<Counter::State>* weak;
        using State = Counter::State;
        View body(ViewContext<State>& ctx) const {
            *weak = ctx.weakState();
            return Text("probe");
        }
    };
    struct Holder {
        Observable<bool>* shown;
        std::weak_ptr<Counter::State>* weak;
        View body(ViewContext<NoState>&) const { return (*shown)() ? View(Probe{weak}) : View(); }
    };
    auto h = host(Holder{&shown, &weak});
    EXPECT_FALSE(weak.expired());
    shown.set(false);
    runUntilIdle();
    EXPECT_TRUE(weak.expired());
}

TEST_F(StateTest, RootViewCanBeReplacedKeepingState) {
    auto h = host(View(Counter{"x"}));
    h->find(Query::byText("x 0")).click();
    runUntilIdle();
    h->setRootView(View(Counter{"y"}));
    runUntilIdle();
    EXPECT_TRUE(h->find(Query::byText("y 1")));
}

}  // namespace
}  // namespace talvori::ui::testing
