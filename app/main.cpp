// Entry point of Kelvak.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle("Kelvak");
  window.resize(631, 337);
  window.show();
  app.exec();
  return 0;
}
