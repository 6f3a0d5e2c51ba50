// Linked with one layer's whole archive and nothing else of ours: it builds only while that
// layer calls into no other layer.
int main()
{
    return 0;
}
