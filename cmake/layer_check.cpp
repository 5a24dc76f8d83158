// The program of the layer checks: it uses nothing itself; the build links every object of one
// kit library with only the libraries below it, so that a call into a higher layer fails to link.
int main() {
    return 0;
}
